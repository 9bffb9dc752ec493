// SPDX-License-Identifier: GPL-3.0-or-later
// A growable run of bytes in memory of its own: anonymous pages, large pages
// where the system offers them, never zeroed by the program before they are
// filled. Made for the LogBuffer, which reads whole logs of a gigabyte
// straight into its end: filling a std::string first with zeros costs as much
// as reading the file.
#pragma once

#include <cstddef>
#include <string_view>

namespace varnokel {

class ByteBuffer {
 public:
  ByteBuffer() = default;
  ByteBuffer(ByteBuffer&& other) noexcept;
  ByteBuffer& operator=(ByteBuffer&& other) noexcept;
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  ~ByteBuffer();

  char* data() { return data_; }
  const char* data() const { return data_; }
  size_t size() const { return size_; }
  std::string_view view() const {
    return size_ == 0 ? std::string_view() : std::string_view(data_, size_);
  }

  // Room for `capacity` bytes in all, the content kept. Throws std::bad_alloc.
  void reserve(size_t capacity);
  // The size becomes `size`: bytes added are whatever the memory holds (the
  // caller fills them), bytes beyond it are dropped.
  void resize(size_t size);
  void append(const char* bytes, size_t count);
  void append(std::string_view bytes) { append(bytes.data(), bytes.size()); }
  // Empties the buffer and gives its memory back.
  void clear();

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace varnokel
