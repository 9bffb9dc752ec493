#include "report/site_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "base/file_io.h"
#include "base/system_error_text.h"

namespace varnokel {

namespace {

constexpr int64_t kNanosecondsPerSecond = 1'000'000'000;
// A hidden folder is named "." + the subfolder's name + ".tmp" + a random
// number, as the temporary files of page writes are.
constexpr uint64_t kUnpublishedNameNumbers = 100000000;
constexpr int kUnpublishedNameAttempts = 16;
constexpr mode_t kUnpublishedFolderMode = 0700;

// Makes `dir` and its missing parents, each with the published mode.
void MakePublishedFolder(std::filesystem::path dir) {
  if (!dir.has_filename()) dir = dir.parent_path();  // "html/" is "html"
  std::error_code error;
  if (dir.empty() || std::filesystem::is_directory(dir, error)) return;
  if (dir.has_parent_path() && dir.parent_path() != dir) MakePublishedFolder(dir.parent_path());
  if (std::filesystem::create_directory(dir, error))
    std::filesystem::permissions(dir, kPublishedFolderMode, error);
  if (error) throw FileError(FileError::Kind::kCreate, dir, DescribeError(error.value()));
}

// Takes the folder's lock; false when another writer holds it.
bool TryLockFolder(int fd) {
  int result;
  while ((result = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
  }
  return result == 0 || errno != EWOULDBLOCK;
}

}  // namespace

SiteBusy::SiteBusy(const std::filesystem::path& dir)
    : std::runtime_error(std::string("Seitenordner ")
                             .append(dir.string())
                             .append(" ist belegt: ein anderes Programm schreibt gerade hinein")) {}

SiteFolder::SiteFolder(const SiteTarget& target) : dir_(target.dir) {
  MakePublishedFolder(dir_.lexically_normal());
  fd_ = ::open(dir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ < 0) throw FileError(FileError::Kind::kCreate, dir_, DescribeError(errno));
  // A file system that cannot lock folders (some network ones) is written
  // unlocked, as before there was a lock.
  if (TryLockFolder(fd_)) return;
  if (target.wait == LockWait::kNoWait) {
    ::close(fd_);
    throw SiteBusy(dir_);
  }
  if (target.on_wait) target.on_wait();
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
    std::vector<std::string> folders;
    while (const dirent* entry = ::readdir(entries)) {
      if (!IsAtomicWriteTemporary(entry->d_name)) continue;
      if (::unlinkat(fd, entry->d_name, 0) == 0)
        ++removed;
      else if (errno == EISDIR)
        folders.push_back(folder + "/" + entry->d_name);
    }
    ::closedir(entries);
    for (const std::string& unpublished : folders) {
      RemoveUnpublished(unpublished);
      ++removed;
    }
  };
  sweep(".");
  for (std::string_view folder : subfolders) sweep(std::string(folder));
  return removed;
}

std::string SiteFolder::MakeUnpublishedFolder(const std::string& folder) const {
  const size_t slash = folder.rfind('/');
  const std::string parent = slash == std::string::npos ? "" : folder.substr(0, slash + 1);
  const std::string leaf = folder.substr(parent.size());
  static thread_local std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < kUnpublishedNameAttempts; ++attempt) {
    std::string name =
        parent + "." + leaf + ".tmp" + std::to_string(random() % kUnpublishedNameNumbers);
    if (::mkdirat(fd_, name.c_str(), kUnpublishedFolderMode) == 0) {
      // Readable by the web server whatever the umask, once it is in place.
      if (::fchmodat(fd_, name.c_str(), static_cast<mode_t>(kPublishedFolderMode), 0) != 0) {
        const int error = errno;
        ::unlinkat(fd_, name.c_str(), AT_REMOVEDIR);
        throw FileError(FileError::Kind::kCreate, dir_ / folder, DescribeError(error));
      }
      return name;
    }
    if (errno != EEXIST) break;
  }
  throw FileError(FileError::Kind::kCreate, dir_ / folder, DescribeError(errno));
}

void SiteFolder::Publish(const std::string& unpublished, const std::string& folder) const {
  if (::renameat(fd_, unpublished.c_str(), fd_, folder.c_str()) != 0)
    throw FileError(FileError::Kind::kCreate, dir_ / folder, DescribeError(errno));
}

void SiteFolder::RemoveUnpublished(const std::string& unpublished) const {
  const int fd =
      ::openat(fd_, unpublished.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
  if (fd >= 0) {
    if (DIR* entries = ::fdopendir(fd)) {
      while (const dirent* entry = ::readdir(entries)) ::unlinkat(fd, entry->d_name, 0);
      ::closedir(entries);
    } else {
      ::close(fd);
    }
  }
  ::unlinkat(fd_, unpublished.c_str(), AT_REMOVEDIR);
}

void SiteFolder::Remove(const std::string& name) const {
  if (::unlinkat(fd_, name.c_str(), 0) != 0 && errno != ENOENT)
    throw FileError(FileError::Kind::kCreate, dir_ / name, DescribeError(errno));
}

}  // namespace varnokel
