#include "base/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/file_io.h"
#include "base/system_error_text.h"

namespace varnokel {

namespace {

int LockOperation(FileLock::Mode mode) {
  return mode == FileLock::Mode::kShared ? LOCK_SH : LOCK_EX;
}

}  // namespace

FileLock::FileLock(const std::filesystem::path& lock_file) : file_(lock_file) {
  fd_ = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd_ < 0) throw FileError(FileError::Kind::kCreate, file_, DescribeError(errno));
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

bool FileLock::TryLock(Mode mode) {
  while (::flock(fd_, LockOperation(mode) | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) return false;
    if (errno != EINTR) throw FileError(FileError::Kind::kOpen, file_, DescribeError(errno));
  }
  return true;
}

void FileLock::Lock(Mode mode) {
  while (::flock(fd_, LockOperation(mode)) != 0) {
    if (errno != EINTR) throw FileError(FileError::Kind::kOpen, file_, DescribeError(errno));
  }
}

void FileLock::Unlock() {
  ::flock(fd_, LOCK_UN);
}

}  // namespace varnokel
