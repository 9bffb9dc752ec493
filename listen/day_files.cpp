#include "listen/day_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/file_io.h"
#include "listen/endpoint.h"
#include "listen/sender_filter.h"
#include "log/log_line_layout.h"

namespace varnokel {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDayFilePrefix = "L";
constexpr std::string_view kDayFileExtension = ".log";
constexpr size_t kDayDigits = 8;              // YYYYMMDD
constexpr size_t kMaxOpenDayFiles = 512;      // beyond this the least recently written closes
constexpr size_t kTailSearchChunk = 1 << 16;  // bytes read per step back to the last LF
constexpr mode_t kFileMode = 0644;
constexpr mode_t kFolderMode = 0755;
constexpr std::string_view kWrittenElsewhere = "written by another listener";

std::string ErrnoText() {
  return std::strerror(errno);
}

// Writes all of `bytes` at the end of the file; false with errno set when a
// write fails.
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Where the bytes after the file's last LF start (0 when it has none).
uint64_t EndOfLastLine(int fd, const fs::path& file, uint64_t size) {
  std::string chunk;
  uint64_t end = size;
  while (end > 0) {
    const uint64_t start = end > kTailSearchChunk ? end - kTailSearchChunk : 0;
    chunk.resize(static_cast<size_t>(end - start));
    if (::pread(fd, chunk.data(), chunk.size(), static_cast<off_t>(start)) !=
        static_cast<ssize_t>(chunk.size()))
      throw FileError(FileError::Kind::kOpen, file, ErrnoText());
    const size_t lf = chunk.rfind('\n');
    if (lf != std::string::npos) return start + lf + 1;
    end = start;
  }
  return 0;
}

// Moves the incomplete last line of a day file (bytes from `cut` on) to its
// ".torn" file, then cuts it off. Dying in between leaves the line in both,
// and the next open moves it once more: it is never folded either way.
void SetTornTailAside(int fd, const fs::path& file, uint64_t cut, uint64_t size) {
  std::string tail(static_cast<size_t>(size - cut), '\0');
  if (::pread(fd, tail.data(), tail.size(), static_cast<off_t>(cut)) !=
      static_cast<ssize_t>(tail.size()))
    throw FileError(FileError::Kind::kOpen, file, ErrnoText());
  tail += '\n';
  fs::path torn = file;
  torn += kTornSuffix;
  const int torn_fd =
      ::open(torn.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, kFileMode);
  if (torn_fd < 0) throw FileError(FileError::Kind::kCreate, torn, ErrnoText());
  const bool kept = WriteAll(torn_fd, tail) && ::fdatasync(torn_fd) == 0;
  const std::string reason = kept ? std::string() : ErrnoText();
  ::close(torn_fd);
  if (!kept) throw FileError(FileError::Kind::kCreate, torn, reason);
  if (::ftruncate(fd, static_cast<off_t>(cut)) != 0)
    throw FileError(FileError::Kind::kCreate, file, ErrnoText());
}

// Opens a day file for appending, under its lock, with an incomplete last
// line set aside. `create`: O_CREAT or 0. Throws FileError naming the file.
int OpenDayFile(const fs::path& path, int create) {
  const int fd =
      ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW | create, kFileMode);
  if (fd < 0) throw FileError(FileError::Kind::kCreate, path, ErrnoText());
  try {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
      throw FileError(FileError::Kind::kCreate, path,
                      errno == EWOULDBLOCK ? std::string(kWrittenElsewhere) : ErrnoText());
    struct stat st {};
    if (::fstat(fd, &st) != 0) throw FileError(FileError::Kind::kOpen, path, ErrnoText());
    if (!S_ISREG(st.st_mode)) throw FileError(FileError::Kind::kCreate, path, "not a file");
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    char last = '\n';
    if (size > 0 && ::pread(fd, &last, 1, static_cast<off_t>(size - 1)) != 1)
      throw FileError(FileError::Kind::kOpen, path, ErrnoText());
    if (last != '\n') SetTornTailAside(fd, path, EndOfLastLine(fd, path, size), size);
  } catch (...) {
    ::close(fd);
    throw;
  }
  return fd;
}

void MakeFolder(const fs::path& folder) {
  if (::mkdir(folder.c_str(), kFolderMode) != 0 && errno != EEXIST)
    throw FileError(FileError::Kind::kCreate, folder, ErrnoText());
}

}  // namespace

std::string DayFileName(std::string_view line) {
  const std::string_view date = log_line::Date(line);  // MM/DD/YYYY
  std::string name(kDayFilePrefix);
  name.append(date.substr(6, 4)).append(date.substr(0, 2)).append(date.substr(3, 2));
  name.append(kDayFileExtension);
  return name;
}

std::vector<std::string> AcceptedDayFiles(const fs::path& logs_dir, const SenderFilter& filter) {
  std::vector<std::string> files;
  for (const std::string& sender : ListEntryNames(logs_dir)) {
    const std::optional<Endpoint> endpoint = ParseSenderFolderName(sender);
    if (!endpoint || !filter.Allows(*endpoint)) continue;
    for (const std::string& name : ListEntryNames(logs_dir / sender)) {
      if (IsDayFileName(name)) files.push_back(sender + "/" + name);
    }
  }
  return files;
}

void SetTornLineAside(const fs::path& day_file) {
  try {
    ::close(OpenDayFile(day_file, 0));
  } catch (const FileError& error) {
    if (error.detail() != kWrittenElsewhere) throw;
  }
}

bool IsDayFileName(std::string_view name) {
  if (name.size() != kDayFilePrefix.size() + kDayDigits + kDayFileExtension.size() ||
      !name.starts_with(kDayFilePrefix) || !name.ends_with(kDayFileExtension))
    return false;
  const std::string_view digits = name.substr(kDayFilePrefix.size(), kDayDigits);
  return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

DayFileWriter::DayFileWriter(fs::path logs_dir) : logs_dir_(std::move(logs_dir)) {}

DayFileWriter::~DayFileWriter() {
  for (auto& [key, file] : files_) Close(file);
}

size_t DayFileWriter::DayKeyHash::operator()(const DayKey& key) const {
  // FNV-1a over the fields that tell days apart.
  constexpr uint64_t kOffsetBasis = 14695981039346656037ull, kPrime = 1099511628211ull;
  uint64_t hash = kOffsetBasis;
  auto add = [&](const auto& bytes) {
    for (auto byte : bytes) hash = (hash ^ static_cast<uint8_t>(byte)) * kPrime;
  };
  add(key.sender.address);
  add(std::array<uint8_t, 2>{static_cast<uint8_t>(key.sender.port >> 8),
                             static_cast<uint8_t>(key.sender.port)});
  add(key.date);
  return static_cast<size_t>(hash);
}

void DayFileWriter::Add(const Endpoint& sender, std::string_view line) {
  DayKey key{sender, {}};
  const std::string_view date = log_line::Date(line);
  std::copy(date.begin(), date.end(), key.date.begin());
  DayFile& file = files_[key];
  if (file.relative.empty()) file.relative = SenderFolderName(sender) + "/" + DayFileName(line);
  file.queued += line;
  ++file.queued_lines;
}

DayFileWriter::Outcome DayFileWriter::Flush() {
  Outcome outcome;
  std::vector<std::string> written_to;
  for (auto& [key, file] : files_) {
    if (file.queued_lines == 0) continue;
    try {
      if (file.fd < 0) Open(file);
      struct stat before {};
      const bool sized = ::fstat(file.fd, &before) == 0;
      if (!sized || !WriteAll(file.fd, file.queued)) {
        const std::string reason = ErrnoText();
        // A write cut short (a full disk) leaves no piece of a line behind;
        // should even that fail, the error below is all there is to say.
        if (sized && ::ftruncate(file.fd, before.st_size) != 0) errno = 0;
        Close(file);
        throw FileError(FileError::Kind::kCreate, logs_dir_ / file.relative, reason);
      }
      outcome.written += file.queued_lines;
      file.last_write = Clock::now();
      written_to.push_back(file.relative);
    } catch (const FileError& error) {
      outcome.failed += file.queued_lines;
      outcome.error = error.what();
    }
    file.queued.clear();
    file.queued_lines = 0;
  }
  if (!written_to.empty()) {
    std::lock_guard<std::mutex> lock(grown_mutex_);
    grown_.insert(written_to.begin(), written_to.end());
  }
  return outcome;
}

void DayFileWriter::Open(DayFile& file) {
  if (open_files_ >= kMaxOpenDayFiles) CloseLeastRecent();
  const fs::path path = logs_dir_ / file.relative;
  MakeFolder(logs_dir_);
  MakeFolder(path.parent_path());
  file.fd = OpenDayFile(path, O_CREAT);
  ++open_files_;
}

void DayFileWriter::Close(DayFile& file) {
  if (file.fd < 0) return;
  ::close(file.fd);
  file.fd = -1;
  --open_files_;
}

void DayFileWriter::CloseLeastRecent() {
  DayFile* oldest = nullptr;
  for (auto& [key, file] : files_) {
    if (file.fd >= 0 && (oldest == nullptr || file.last_write < oldest->last_write)) oldest = &file;
  }
  if (oldest != nullptr) Close(*oldest);
}

void DayFileWriter::CloseIdle(Clock::time_point idle_since) {
  for (auto it = files_.begin(); it != files_.end();) {
    if (it->second.queued_lines == 0 && it->second.last_write < idle_since) {
      Close(it->second);
      it = files_.erase(it);
    } else {
      ++it;
    }
  }
}

std::vector<std::string> DayFileWriter::TakeGrown() {
  std::lock_guard<std::mutex> lock(grown_mutex_);
  std::vector<std::string> grown(grown_.begin(), grown_.end());
  grown_.clear();
  return grown;
}

}  // namespace varnokel
