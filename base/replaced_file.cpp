#include "base/replaced_file.h"

#include <unistd.h>

#include <utility>

namespace varnokel {

ReplacedFile::ReplacedFile(ReplacedFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

ReplacedFile& ReplacedFile::operator=(ReplacedFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

ReplacedFile::~ReplacedFile() {
  if (fd_ >= 0) ::close(fd_);
}

ReplacedFileCloser::ReplacedFileCloser() {
  for (size_t t = 0; t < kThreads; ++t) {
    threads_.emplace_back([this] {
      std::unique_lock lock(mutex_);
      for (;;) {
        changed_.wait(lock, [this] { return finishing_ || !waiting_.empty(); });
        if (waiting_.empty()) return;  // finishing, and nothing left
        ReplacedFile file = std::move(waiting_.front());
        waiting_.pop_front();
        lock.unlock();
        file = ReplacedFile();  // closes it
        lock.lock();
      }
    });
  }
}

ReplacedFileCloser::~ReplacedFileCloser() {
  {
    const std::lock_guard lock(mutex_);
    finishing_ = true;
  }
  changed_.notify_all();
  threads_.clear();  // joins them once the queue is empty
}

void ReplacedFileCloser::Close(ReplacedFile file) {
  if (!file.open()) return;  // nothing replaced: no thread to wake
  {
    const std::lock_guard lock(mutex_);
    waiting_.push_back(std::move(file));
  }
  changed_.notify_one();
}

}  // namespace varnokel
