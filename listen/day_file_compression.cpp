#include "listen/day_file_compression.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "base/file_io.h"
#include "base/gzip.h"
#include "listen/day_files.h"

namespace varnokel {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTemporarySuffix = ".tmp";

// The lock a writing listener holds on a day file, taken without waiting:
// false while one writes it.
class DayFileLock {
 public:
  explicit DayFileLock(const fs::path& file)
      : fd_(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW)) {}
  DayFileLock(const DayFileLock&) = delete;
  DayFileLock& operator=(const DayFileLock&) = delete;
  ~DayFileLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Taken() const { return fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0; }

 private:
  int fd_;
};

// Day files the ledger holds whole under their own name, with their sizes.
std::map<std::string, uint64_t> FoldedWhole(const Ledger& ledger) {
  std::map<std::string, uint64_t> sizes;
  for (const LedgerRun& run : ledger.runs()) sizes[run.name] = run.size;
  for (const PrefixEntry& entry : ledger.prefixes()) sizes[entry.name] = entry.length;
  return sizes;
}

bool OldEnough(const std::string& relative, int64_t today, int after_days) {
  const std::optional<int64_t> day = DayNumberOfDayFile(fs::path(relative).filename().string());
  return day && *day < today - after_days;
}

void Compress(const fs::path& day_file) {
  const std::string bytes = ReadFileBytes(day_file);
  fs::path compressed = day_file;
  compressed += kCompressedSuffix;
  fs::path temporary = compressed;
  temporary += kTemporarySuffix;
  WriteNewFile(temporary, GzipCompress(bytes), /*sync=*/true);
  RenameFile(temporary, compressed);
  if (::unlink(day_file.c_str()) != 0)
    throw FileError(FileError::Kind::kCreate, day_file, std::strerror(errno));
}

}  // namespace

size_t CompressOldDayFiles(const fs::path& logs_dir, const std::vector<std::string>& day_files,
                           const Ledger& ledger, int64_t today, int after_days) {
  if (after_days <= 0) return 0;
  const std::map<std::string, uint64_t> folded = FoldedWhole(ledger);
  size_t compressed = 0;
  for (const std::string& relative : day_files) {
    if (!OldEnough(relative, today, after_days)) continue;
    const fs::path file = logs_dir / relative;
    std::error_code error;
    const uint64_t size = fs::file_size(file, error);
    const auto entry = folded.find(relative);
    if (error || entry == folded.end() || entry->second != size) continue;
    const DayFileLock lock(file);
    if (!lock.Taken()) continue;
    Compress(file);
    ++compressed;
  }
  return compressed;
}

}  // namespace varnokel
