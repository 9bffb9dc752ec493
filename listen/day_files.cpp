#include "listen/day_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>

#include "base/date_text.h"
#include "base/file_io.h"
#include "base/whole_write.h"
#include "listen/day_calendar.h"
#include "listen/endpoint.h"
#include "listen/sender_filter.h"
#include "log/log_line_layout.h"

namespace varnokel {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDayFilePrefix = "L";
constexpr std::string_view kDayFileExtension = ".log";
constexpr size_t kDayDigits = 8;  // YYYYMMDD
// Descriptors left for everything but day files (sockets, the database's
// files, the report's pages on a thread per core).
constexpr rlim_t kOtherDescriptors = 256;
constexpr size_t kMinOpenDayFiles = 16;
constexpr size_t kTailSearchChunk = 1 << 16;  // bytes read per step back to the last LF
constexpr mode_t kFileMode = 0644;
constexpr mode_t kFolderMode = 0755;
constexpr std::string_view kWrittenElsewhere =
    "wird von einem anderen Empf\xC3\xA4nger geschrieben";
constexpr std::string_view kWrongDateFull =
    "voll, weitere Zeilen mit falschem Datum nicht geschrieben";
constexpr std::string_view kHeldFull =
    "kein Platz, und der Speicher f\xC3\xBCr wartende Zeilen ist voll: neue Zeilen nicht "
    "geschrieben";

std::string ErrnoText() {
  return std::strerror(errno);
}

// A write that may succeed later, once there is room again.
bool IsNoRoom(int error) {
  return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

// Writes all of `bytes` at the end of the file; false with errno set when a
// write fails.
bool WriteAll(int fd, std::string_view bytes) {
  return WriteWhole(bytes, [fd](const char* data, size_t size, size_t) {
           return ::write(fd, data, size);
         }) == 0;
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
// line set aside; `size` becomes its size then. `create`: O_CREAT or 0.
// Throws FileHeld while another listener writes it, otherwise FileError
// naming the file.
int OpenDayFile(const fs::path& path, int create, uint64_t& size) {
  const int fd =
      ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC | O_NOFOLLOW | create, kFileMode);
  if (fd < 0) throw FileError(FileError::Kind::kCreate, path, ErrnoText());
  try {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EWOULDBLOCK) throw FileHeld(path, std::string(kWrittenElsewhere));
      throw FileError(FileError::Kind::kCreate, path, ErrnoText());
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) throw FileError(FileError::Kind::kOpen, path, ErrnoText());
    if (!S_ISREG(st.st_mode)) throw FileError(FileError::Kind::kCreate, path, "keine Datei");
    size = static_cast<uint64_t>(st.st_size);
    char last = '\n';
    if (size > 0 && ::pread(fd, &last, 1, static_cast<off_t>(size - 1)) != 1)
      throw FileError(FileError::Kind::kOpen, path, ErrnoText());
    if (last != '\n') {
      const uint64_t cut = EndOfLastLine(fd, path, size);
      SetTornTailAside(fd, path, cut, size);
      size = cut;
    }
  } catch (...) {
    ::close(fd);
    throw;
  }
  return fd;
}

// Raises the process's limit of open files to what the system allows and
// returns how many day files may be open at once below it.
size_t RaiseOpenFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return kMinOpenDayFiles;
  if (limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::getrlimit(RLIMIT_NOFILE, &limit);
  }
  if (limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX / 2;
  return limit.rlim_cur > kOtherDescriptors + kMinOpenDayFiles
             ? static_cast<size_t>(limit.rlim_cur - kOtherDescriptors)
             : kMinOpenDayFiles;
}

void MakeFolder(const fs::path& folder) {
  if (::mkdir(folder.c_str(), kFolderMode) != 0 && errno != EEXIST)
    throw FileError(FileError::Kind::kCreate, folder, ErrnoText());
}

}  // namespace

std::string DayFileName(std::string_view line) {
  const std::string_view date = log_line::Date(line);  // MM/DD/YYYY
  std::string name(kDayFilePrefix);
  name.append(SortableDate(date));
  name.append(kDayFileExtension);
  return name;
}

std::vector<std::string> AcceptedDayFiles(const fs::path& logs_dir, const SenderFilter& filter) {
  std::vector<std::string> files;
  for (const std::string& sender : ListEntryNames(logs_dir)) {
    const std::optional<Endpoint> endpoint = ParseSenderFolderName(sender);
    if (!endpoint || !filter.Allows(*endpoint)) continue;
    for (const std::string& name : ListEntryNames(logs_dir / sender)) {
      if (IsDayFileName(name) || name == kWrongDateFileName) files.push_back(sender + "/" + name);
    }
  }
  return files;
}

void SetTornLineAside(const fs::path& day_file) {
  try {
    uint64_t size = 0;
    ::close(OpenDayFile(day_file, 0, size));
  } catch (const FileHeld&) {
    // Another listener writes it: what it holds is that listener's to set aside.
  }
}

bool IsDayFileName(std::string_view name) {
  if (name.size() != kDayFilePrefix.size() + kDayDigits + kDayFileExtension.size() ||
      !name.starts_with(kDayFilePrefix) || !name.ends_with(kDayFileExtension))
    return false;
  const std::string_view digits = name.substr(kDayFilePrefix.size(), kDayDigits);
  return std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<int64_t> DayNumberOfDayFile(std::string_view name) {
  if (!IsDayFileName(name)) return {};
  const std::string_view digits = name.substr(kDayFilePrefix.size(), kDayDigits);
  auto number = [&](size_t at, size_t length) {
    int value = 0;
    for (char c : digits.substr(at, length)) value = value * 10 + (c - '0');
    return value;
  };
  return DayNumber(number(0, 4), number(4, 2), number(6, 2));
}

DayFileWriter::DayFileWriter(fs::path logs_dir, int64_t today, uint64_t max_wrong_date_bytes,
                             uint64_t max_held_bytes)
    : logs_dir_(std::move(logs_dir)),
      today_(today),
      max_wrong_date_bytes_(max_wrong_date_bytes),
      max_held_bytes_(max_held_bytes),
      max_open_files_(RaiseOpenFileLimit()) {}

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
  add(std::bit_cast<std::array<uint8_t, sizeof key.day>>(key.day));
  return static_cast<size_t>(hash);
}

bool DayFileWriter::Add(const Endpoint& sender, std::string_view line) {
  const std::optional<int64_t> day = DayNumberOfDate(log_line::Date(line));
  const bool current = day && IsCurrentDay(*day, today_);
  DayFile& file = files_[DayKey{sender, current ? *day : kWrongDate}];
  if (file.relative.empty()) {
    file.relative = SenderFolderName(sender) + "/" +
                    (current ? DayFileName(line) : std::string(kWrongDateFileName));
    file.bounded = !current;
  }
  if (file.queued_lines == 0) queued_.push_back(&file);
  file.queued += line;
  ++file.queued_lines;
  return current;
}

DayFileWriter::Outcome DayFileWriter::Flush() {
  Outcome outcome;
  std::vector<std::string> written_to;
  std::vector<DayFile*> held;
  held_bytes_ = 0;
  for (DayFile* file : queued_) {
    if (!Write(*file, outcome)) {
      Hold(*file, outcome);
      if (file->queued_lines > 0) {
        held.push_back(file);
        continue;
      }
    }
    if (file->queued_lines > 0) written_to.push_back(file->relative);
    file->queued.clear();
    file->queued_lines = 0;
  }
  queued_ = std::move(held);
  if (!written_to.empty()) {
    std::lock_guard<std::mutex> lock(grown_mutex_);
    grown_.insert(written_to.begin(), written_to.end());
  }
  return outcome;
}

size_t DayFileWriter::DropHeld() {
  size_t dropped = 0;
  for (DayFile* file : queued_) {
    dropped += file->queued_lines;
    file->queued.clear();
    file->queued_lines = 0;
  }
  queued_.clear();
  held_bytes_ = 0;
  return dropped;
}

// Writes the queued lines of one file; leaves `queued_lines` at the number
// written, or returns false with the lines still queued.
bool DayFileWriter::Write(DayFile& file, Outcome& outcome) {
  try {
    if (file.fd < 0) Open(file);
    if (const size_t left_out = CutToBound(file)) {
      outcome.failed += left_out;
      outcome.error = FileError(FileError::Kind::kCreate, logs_dir_ / file.relative,
                                std::string(kWrongDateFull))
                          .what();
    }
    if (!WriteAll(file.fd, file.queued)) {
      const int failure = errno;
      const std::string reason = ErrnoText();
      // A write cut short leaves no piece of a line behind; should even
      // that fail, the write's own error above is all there is to say.
      if (::ftruncate(file.fd, static_cast<off_t>(file.size)) != 0) errno = failure;
      Close(file);
      const FileError error(FileError::Kind::kCreate, logs_dir_ / file.relative, reason);
      if (!IsNoRoom(failure)) throw error;
      outcome.no_room = error.what();
      return false;
    }
    file.size += file.queued.size();
    outcome.written += file.queued_lines;
    file.last_write = Clock::now();
    open_order_.splice(open_order_.end(), open_order_, file.in_open_order);
  } catch (const FileError& error) {
    outcome.failed += file.queued_lines;
    outcome.error = error.what();
    file.queued_lines = 0;
  }
  return true;
}

void DayFileWriter::Hold(DayFile& file, Outcome& outcome) {
  const uint64_t room = max_held_bytes_ > held_bytes_ ? max_held_bytes_ - held_bytes_ : 0;
  if (const size_t left_out = CutQueued(file, room)) {
    outcome.failed += left_out;
    outcome.error =
        FileError(FileError::Kind::kCreate, logs_dir_ / file.relative, std::string(kHeldFull))
            .what();
  }
  held_bytes_ += file.queued.size();
  outcome.held += file.queued_lines;
}

size_t DayFileWriter::CutToBound(DayFile& file) {
  if (!file.bounded) return 0;
  return CutQueued(file, max_wrong_date_bytes_ > file.size ? max_wrong_date_bytes_ - file.size : 0);
}

size_t DayFileWriter::CutQueued(DayFile& file, uint64_t room) {
  if (file.queued.size() <= room) return 0;
  const size_t last_lf = room == 0 ? std::string::npos : file.queued.rfind('\n', room - 1);
  const size_t keep = last_lf == std::string::npos ? 0 : last_lf + 1;
  const size_t left_out = static_cast<size_t>(
      std::count(file.queued.begin() + static_cast<std::ptrdiff_t>(keep), file.queued.end(), '\n'));
  file.queued.resize(keep);
  file.queued_lines -= left_out;
  return left_out;
}

void DayFileWriter::Open(DayFile& file) {
  if (open_order_.size() >= max_open_files_) Close(*open_order_.front());
  const fs::path path = logs_dir_ / file.relative;
  MakeFolder(logs_dir_);
  MakeFolder(path.parent_path());
  file.fd = OpenDayFile(path, O_CREAT, file.size);
  file.in_open_order = open_order_.insert(open_order_.end(), &file);
}

void DayFileWriter::Close(DayFile& file) {
  if (file.fd < 0) return;
  ::close(file.fd);
  file.fd = -1;
  open_order_.erase(file.in_open_order);
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
