// SPDX-License-Identifier: GPL-3.0-or-later
// The old file a replacing write took the place of, kept open until the
// writer lets go of it. Closing it frees the old file, and on a file system
// that discards freed blocks (ext4 mounted with "discard") that waits for the
// disk: a writer of many large files hands them to a ReplacedFileCloser and
// goes on writing.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace varnokel {

class ReplacedFile {
 public:
  ReplacedFile() = default;
  explicit ReplacedFile(int fd) : fd_(fd) {}  // takes over `fd` (-1: no file)
  ReplacedFile(ReplacedFile&& other) noexcept;
  ReplacedFile& operator=(ReplacedFile&& other) noexcept;
  ReplacedFile(const ReplacedFile&) = delete;
  ReplacedFile& operator=(const ReplacedFile&) = delete;
  ~ReplacedFile();

  bool open() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Closes the files handed to it on threads of its own; its destructor waits
// until every one is closed.
class ReplacedFileCloser {
 public:
  ReplacedFileCloser();
  ReplacedFileCloser(const ReplacedFileCloser&) = delete;
  ReplacedFileCloser& operator=(const ReplacedFileCloser&) = delete;
  ~ReplacedFileCloser();

  void Close(ReplacedFile file);

 private:
  static constexpr size_t kThreads = 2;  // discards the disk works on at once

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<ReplacedFile> waiting_;
  bool finishing_ = false;
  std::vector<std::jthread> threads_;  // last: they use everything above
};

}  // namespace varnokel
