#include "report/site_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "base/file_io.h"

namespace varnokel {

namespace {

constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;

}  // namespace

SiteFolder::SiteFolder(std::filesystem::path dir) : dir_(std::move(dir)) {
  std::error_code error;
  std::filesystem::create_directories(dir_, error);
  if (error) throw FileError(FileError::Kind::kCreate, dir_, error.message());
  fd_ = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) throw FileError(FileError::Kind::kCreate, dir_, std::strerror(errno));
  // A file system that cannot lock folders (some network ones) is written
  // unlocked, as before there was a lock.
  while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
  }
}

SiteFolder::~SiteFolder() {
  ::close(fd_);
}

std::optional<FileIdentity> SiteFolder::Identity(const std::string& name) const {
  struct stat status {};
  if (::fstatat(fd_, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(status.st_mode))
    return std::nullopt;
  return FileIdentity{
      static_cast<uint64_t>(status.st_ino), static_cast<uint64_t>(status.st_size),
      static_cast<int64_t>(status.st_mtim.tv_sec) * kNanosecondsPerSecond + status.st_mtim.tv_nsec};
}

size_t SiteFolder::RemoveLeftoverTemporaries(
    std::initializer_list<std::string_view> subfolders) const {
  size_t removed = 0;
  const auto sweep = [&](const std::string& folder) {
    const int fd = ::openat(fd_, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return;  // no such subfolder yet
    DIR* entries = ::fdopendir(fd);
    if (entries == nullptr) {
      ::close(fd);
      return;
    }
    while (const dirent* entry = ::readdir(entries)) {
      if (IsAtomicWriteTemporary(entry->d_name) && ::unlinkat(fd, entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(entries);
  };
  sweep(".");
  for (std::string_view folder : subfolders) sweep(std::string(folder));
  return removed;
}

void SiteFolder::Remove(const std::string& name) const {
  if (::unlinkat(fd_, name.c_str(), 0) != 0 && errno != ENOENT)
    throw FileError(FileError::Kind::kCreate, dir_ / name, std::strerror(errno));
}

}  // namespace varnokel
