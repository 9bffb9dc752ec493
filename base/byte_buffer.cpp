#include "base/byte_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace varnokel {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;  // where large pages start paying off
constexpr size_t kSmallestCapacity = size_t{1} << 16;

size_t RoundUpToPages(size_t bytes) {
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  return (bytes + page - 1) / page * page;
}

}  // namespace

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
  if (this != &other) {
    clear();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

ByteBuffer::~ByteBuffer() {
  clear();
}

void ByteBuffer::reserve(size_t capacity) {
  if (capacity <= capacity_) return;
  const size_t bytes = RoundUpToPages(capacity);
  void* memory = data_ == nullptr ? ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                                           MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                                  : ::mremap(data_, capacity_, bytes, MREMAP_MAYMOVE);
  if (memory == MAP_FAILED) throw std::bad_alloc();
  if (bytes >= kHugePage) ::madvise(memory, bytes, MADV_HUGEPAGE);  // a hint; may be ignored
  data_ = static_cast<char*>(memory);
  capacity_ = bytes;
}

void ByteBuffer::resize(size_t size) {
  reserve(size);
  size_ = size;
}

void ByteBuffer::append(const char* bytes, size_t count) {
  if (count == 0) return;
  if (size_ + count > capacity_)
    reserve(std::max({size_ + count, 2 * capacity_, kSmallestCapacity}));
  std::memcpy(data_ + size_, bytes, count);
  size_ += count;
}

void ByteBuffer::clear() {
  if (data_ != nullptr) ::munmap(data_, capacity_);
  data_ = nullptr;
  size_ = capacity_ = 0;
}

}  // namespace varnokel
