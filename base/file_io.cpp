#include "base/file_io.h"
#include "base/system_error_text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <utility>

#include "base/file_calls.h"
#include "base/parallel_stretches.h"
#include "base/whole_write.h"

namespace varnokel {

namespace {

// The hidden temporary file of an atomic write: "." + up to this many bytes
// of the target's name + ".tmp" + a random number below kTemporaryNameNumbers.
constexpr size_t kTemporaryNameStemBytes = 64;
constexpr uint64_t kTemporaryNameNumbers = 100000000;
constexpr int kTemporaryNameAttempts = 16;

std::string DescribeErrno(int err) {
  return DescribeError(err);
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) file_calls::Close(fd_);
  }
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// The fault seam of test builds (file_calls_testing.h).
int NextWriteOperation() {
  return file_calls::BeforeWriteOperation();
}

// Appended piece by piece: a literal in front of a temporary string draws
// GCC 12's false -Wrestrict alarm at -O3.
std::string Sentence(FileError::Kind kind, const std::filesystem::path& file) {
  std::string text;
  switch (kind) {
    case FileError::Kind::kOpen:
      text.append("Die Datei \"")
          .append(file.string())
          .append(
              "\" kann nicht ge\xC3\xB6"
              "ffnet werden");
      break;
    case FileError::Kind::kCreate:
      text.append("Die Datei \"").append(file.string()).append("\" kann nicht geschrieben werden");
      break;
    case FileError::Kind::kInvalidName:
      text.append("Ung\xC3\xBCltiger Dateiname \"").append(file.string()).append("\"");
      break;
  }
  return text;
}

}  // namespace

FileError::FileError(Kind kind, std::filesystem::path file, const std::string& detail)
    : std::runtime_error(Sentence(kind, file).append(detail.empty() ? "" : ": ").append(detail)),
      kind_(kind),
      file_(std::move(file)),
      detail_(detail) {}

namespace {

// A large file is read by as many threads as there are cores, each a
// stretch of blocks of this size: the copy out of the page cache (and the
// first touch of the memory it goes to) is the whole cost of reading a log
// of a gigabyte, and it spreads over the cores.
constexpr size_t kParallelReadBlock = 1 << 20;
constexpr size_t kMinBlocksPerReader = 16;

// Reads `size` bytes from offset `from` of `fd` into `to`, several stretches
// at once. False when the file had fewer bytes or a read failed: the caller
// reads it again the plain way, which tells which.
bool ReadInParallel(int fd, char* to, size_t size, uint64_t from) {
  std::atomic<bool> complete{true};
  const size_t blocks = (size + kParallelReadBlock - 1) / kParallelReadBlock;
  ForEachStretch(
      blocks,
      [&](size_t first, size_t last) {
        size_t at = first * kParallelReadBlock;
        const size_t end = std::min(size, last * kParallelReadBlock);
        while (at < end && complete) {
          const ssize_t n = ::pread(fd, to + at, end - at, static_cast<off_t>(from + at));
          if (n < 0 && errno == EINTR) continue;
          if (n <= 0) complete = false;
          if (n > 0) at += static_cast<size_t>(n);
        }
      },
      kMinBlocksPerReader);
  return complete;
}

// Reads the file from byte `from` on into the end of `out` (a std::string or a
// ByteBuffer).
template <typename Bytes>
void AppendFileBytesTo(Bytes& out, const std::filesystem::path& file, uint64_t from,
                       bool follow_links) {
  // O_NONBLOCK: opening a named pipe would otherwise wait for a writer; it is
  // refused below like every other file that is not a regular one. Reads of a
  // regular file are not affected by the flag.
  const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (follow_links ? 0 : O_NOFOLLOW);
  Descriptor fd(::open(file.c_str(), flags));
  if (fd.get() < 0) {
    if (errno == ELOOP && !follow_links)
      throw FileError(FileError::Kind::kOpen, file,
                      "eine symbolische Verkn\xC3\xBCpfung, keine Datei");
    throw FileError(FileError::Kind::kOpen, file, DescribeErrno(errno));
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0)
    throw FileError(FileError::Kind::kOpen, file, DescribeErrno(errno));
  if (!S_ISREG(st.st_mode))
    throw FileError(FileError::Kind::kOpen, file, "keine gew\xC3\xB6hnliche Datei");
  const uint64_t file_size = static_cast<uint64_t>(st.st_size);
  if (from > 0 && ::lseek(fd.get(), static_cast<off_t>(from), SEEK_SET) < 0)
    throw FileError(FileError::Kind::kOpen, file, DescribeErrno(errno));
  // Read exactly the size the file has now, straight into the end of `out`; a
  // file that grows meanwhile is read on in small pieces.
  const size_t old_size = out.size();
  out.resize(old_size + static_cast<size_t>(file_size > from ? file_size - from : 0));
  size_t done = old_size;
  if (out.size() - old_size >= kMinBlocksPerReader * kParallelReadBlock &&
      ReadInParallel(fd.get(), out.data() + old_size, out.size() - old_size, from) &&
      ::lseek(fd.get(), static_cast<off_t>(from + (out.size() - old_size)), SEEK_SET) >= 0)
    done = out.size();
  char more[4096];
  for (;;) {
    const bool into_out = done < out.size();
    ssize_t n = into_out ? ::read(fd.get(), out.data() + done, out.size() - done)
                         : ::read(fd.get(), more, sizeof more);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      out.resize(old_size);
      throw FileError(FileError::Kind::kOpen, file, DescribeErrno(err));
    }
    if (n == 0) break;
    if (into_out) {
      done += static_cast<size_t>(n);
    } else {
      out.append(more, static_cast<size_t>(n));
      done = out.size();
    }
  }
  out.resize(done);
}

}  // namespace

void AppendFileBytes(std::string& out, const std::filesystem::path& file, bool follow_links) {
  AppendFileBytesTo(out, file, 0, follow_links);
}

void AppendFileBytes(ByteBuffer& out, const std::filesystem::path& file, bool follow_links) {
  AppendFileBytesTo(out, file, 0, follow_links);
}

void AppendFileBytesFrom(std::string& out, const std::filesystem::path& file, uint64_t from,
                         bool follow_links) {
  AppendFileBytesTo(out, file, from, follow_links);
}

void AppendFileBytesFrom(ByteBuffer& out, const std::filesystem::path& file, uint64_t from,
                         bool follow_links) {
  AppendFileBytesTo(out, file, from, follow_links);
}

std::string ReadFileBytes(const std::filesystem::path& file) {
  std::string bytes;
  AppendFileBytes(bytes, file);
  return bytes;
}

std::string_view CutAtNul(std::string_view bytes) {
  size_t nul = bytes.find('\0');
  return nul == std::string_view::npos ? bytes : bytes.substr(0, nul);
}

std::string ReadFileText(const std::filesystem::path& file, bool follow_links) {
  std::string bytes;
  AppendFileBytes(bytes, file, follow_links);
  size_t nul = bytes.find('\0');
  if (nul != std::string::npos) bytes.resize(nul);
  return bytes;
}

AtomicFileWriter::AtomicFileWriter(std::filesystem::path file,
                                   std::optional<std::filesystem::perms> fixed_mode)
    : file_(std::move(file)) {
  if (int injected = NextWriteOperation())
    throw FileError(FileError::Kind::kCreate, file_, DescribeErrno(injected));
  const std::filesystem::path dir = file_.parent_path().empty() ? "." : file_.parent_path();
  static thread_local std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < kTemporaryNameAttempts && fd_ < 0; ++attempt) {
    std::string name = ".";
    name.append(file_.filename().string(), 0, kTemporaryNameStemBytes);
    name.append(".tmp");
    name.append(std::to_string(random() % kTemporaryNameNumbers));
    temp_ = dir / name;
    fd_ = file_calls::Open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) throw FileError(FileError::Kind::kCreate, file_, DescribeErrno(errno));
  SetMode(fixed_mode);
}

AtomicFileWriter AtomicFileWriter::InUnpublishedFolder(
    std::filesystem::path file, std::optional<std::filesystem::perms> fixed_mode) {
  if (int injected = NextWriteOperation())
    throw FileError(FileError::Kind::kCreate, file, DescribeErrno(injected));
  AtomicFileWriter writer;
  writer.fd_ = file_calls::Open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (writer.fd_ < 0) throw FileError(FileError::Kind::kCreate, file, DescribeErrno(errno));
  writer.file_ = std::move(file);
  writer.temp_ = writer.file_;
  writer.SetMode(fixed_mode);
  return writer;
}

void AtomicFileWriter::SetMode(std::optional<std::filesystem::perms> fixed_mode) {
  if (fixed_mode && ::fchmod(fd_, static_cast<mode_t>(*fixed_mode)) != 0) Fail(errno);
}

AtomicFileWriter::AtomicFileWriter(AtomicFileWriter&& other) noexcept
    : file_(std::move(other.file_)), temp_(std::move(other.temp_)), fd_(other.fd_) {
  other.fd_ = -1;
}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_ < 0) return;
  file_calls::Close(fd_);
  file_calls::Unlink(temp_.c_str());
}

void AtomicFileWriter::Fail(int err) {
  if (fd_ >= 0) file_calls::Close(fd_);
  fd_ = -1;
  file_calls::Unlink(temp_.c_str());
  throw FileError(FileError::Kind::kCreate, file_, DescribeErrno(err));
}

void AtomicFileWriter::Write(std::string_view bytes) {
  if (fd_ < 0) Fail(EBADF);
  const int error = WriteWhole(bytes, [this](const char* data, size_t size, size_t) {
    return file_calls::Write(fd_, data, size);
  });
  if (error != 0) Fail(error);
}

ReplacedFile AtomicFileWriter::Commit() {
  if (fd_ < 0) Fail(EBADF);
  if (Unpublished()) {
    const int fd = std::exchange(fd_, -1);
    if (file_calls::Close(fd) != 0) {
      const int err = errno;
      file_calls::Unlink(file_.c_str());
      throw FileError(FileError::Kind::kCreate, file_, DescribeErrno(err));
    }
    return ReplacedFile();
  }
  // When the rename replaces a file, ext4 places the new file's blocks and
  // frees the old file's (waiting for the disk to discard them) inside the
  // rename, holding the folder's lock, so that every other writer in the
  // folder waits. Neither happens there: the new file's writeback starts
  // now, and the old file stays open over the rename; the caller frees it.
  ReplacedFile replaced(::open(file_.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (replaced.open())
    ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);  // a hint: failure is no error
  const int fd = fd_;
  fd_ = -1;
  if (file_calls::Close(fd) != 0 || file_calls::Rename(temp_.c_str(), file_.c_str()) != 0) {
    const int err = errno;
    file_calls::Unlink(temp_.c_str());
    throw FileError(FileError::Kind::kCreate, file_, DescribeErrno(err));
  }
  return replaced;
}

ReplacedFile WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes) {
  AtomicFileWriter writer(file);
  writer.Write(bytes);
  return writer.Commit();
}

bool IsAtomicWriteTemporary(std::string_view name) {
  const size_t tmp = name.rfind(".tmp");
  if (name.size() < 2 || name[0] != '.' || tmp == std::string_view::npos || tmp == 0) return false;
  const std::string_view digits = name.substr(tmp + 4);
  return !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
}

void WriteNewFile(const std::filesystem::path& file, std::string_view bytes, bool sync) {
  if (int injected = NextWriteOperation())
    throw FileError(FileError::Kind::kCreate, file, DescribeErrno(injected));
  Descriptor fd(
      file_calls::Open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
  if (fd.get() < 0) throw FileError(FileError::Kind::kCreate, file, DescribeErrno(errno));
  const int error = WriteWhole(bytes, [&fd](const char* data, size_t size, size_t) {
    return file_calls::Write(fd.get(), data, size);
  });
  if (error != 0) throw FileError(FileError::Kind::kCreate, file, DescribeErrno(error));
  if (sync && file_calls::SyncData(fd.get()) != 0)
    throw FileError(FileError::Kind::kCreate, file, DescribeErrno(errno));
  if (file_calls::Close(fd.release()) != 0)
    throw FileError(FileError::Kind::kCreate, file, DescribeErrno(errno));
}

void OverwriteFile(const std::filesystem::path& file, std::string_view bytes) {
  if (int injected = NextWriteOperation())
    throw FileError(FileError::Kind::kCreate, file, DescribeErrno(injected));
  Descriptor fd(file_calls::Open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
  if (fd.get() < 0) throw FileError(FileError::Kind::kCreate, file, DescribeErrno(errno));
  const int error = WriteWhole(bytes, [&fd](const char* data, size_t size, size_t done) {
    return file_calls::PWrite(fd.get(), data, size, static_cast<off_t>(done));
  });
  if (error != 0) throw FileError(FileError::Kind::kCreate, file, DescribeErrno(error));
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 ||
      (static_cast<uint64_t>(st.st_size) > bytes.size() &&
       file_calls::Truncate(fd.get(), static_cast<off_t>(bytes.size())) != 0))
    throw FileError(FileError::Kind::kCreate, file, DescribeErrno(errno));
  if (file_calls::Close(fd.release()) != 0)
    throw FileError(FileError::Kind::kCreate, file, DescribeErrno(errno));
}

void RenameFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  if (int injected = NextWriteOperation())
    throw FileError(FileError::Kind::kCreate, to, DescribeErrno(injected));
  if (file_calls::Rename(from.c_str(), to.c_str()) != 0)
    throw FileError(FileError::Kind::kCreate, to, DescribeErrno(errno));
}

void SyncFileSystem(const std::filesystem::path& path) {
  if (int injected = NextWriteOperation())
    throw FileError(FileError::Kind::kCreate, path, DescribeErrno(injected));
  Descriptor fd(file_calls::Open(path.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY, 0));
  if (fd.get() < 0 || file_calls::SyncFileSystem(fd.get()) != 0)
    throw FileError(FileError::Kind::kCreate, path, DescribeErrno(errno));
}

void SyncFolder(const std::filesystem::path& dir) {
  if (int injected = NextWriteOperation())
    throw FileError(FileError::Kind::kCreate, dir, DescribeErrno(injected));
  Descriptor fd(file_calls::Open(dir.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY, 0));
  if (fd.get() < 0 || file_calls::SyncFolder(fd.get()) != 0)
    throw FileError(FileError::Kind::kCreate, dir, DescribeErrno(errno));
}

bool RemoveFile(const std::filesystem::path& file) {
  return file_calls::Unlink(file.c_str()) == 0;
}

std::vector<std::string> ListEntryNames(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(dir, ec), end;
  for (; !ec && it != end; it.increment(ec)) names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
      return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
  });
  return names;
}

bool IsRegularFile(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsSymbolicLink(const std::filesystem::path& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace varnokel
