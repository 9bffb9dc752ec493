#include "base/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>

namespace varnokel {

namespace {

std::string DescribeErrno(int err) {
  return err == 0 ? std::string() : std::strerror(err);
}

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
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

std::string KindText(FileError::Kind kind) {
  switch (kind) {
    case FileError::Kind::kOpen:
      return "cannot open file";
    case FileError::Kind::kCreate:
      return "cannot create file";
    case FileError::Kind::kInvalidName:
      return "invalid file name";
  }
  return "file error";
}

}  // namespace

FileError::FileError(Kind kind, std::filesystem::path file, const std::string& detail)
    : std::runtime_error(KindText(kind) + " " + file.string() +
                         (detail.empty() ? std::string() : ": " + detail)),
      kind_(kind),
      file_(std::move(file)) {}

std::string ReadFileBytes(const std::filesystem::path& file) {
  // O_NONBLOCK: opening a named pipe would otherwise wait for a writer; it is
  // refused below like every other file that is not a regular one. Reads of a
  // regular file are not affected by the flag.
  Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) throw FileError(FileError::Kind::kOpen, file, DescribeErrno(errno));
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0)
    throw FileError(FileError::Kind::kOpen, file, DescribeErrno(errno));
  if (!S_ISREG(st.st_mode)) throw FileError(FileError::Kind::kOpen, file, "not a regular file");
  // Read exactly the size the file has now; a file that grows meanwhile is
  // read on in small pieces, so the string never holds much spare capacity.
  std::string bytes(static_cast<size_t>(st.st_size), '\0');
  size_t done = 0;
  char more[4096];
  for (;;) {
    const bool into_bytes = done < bytes.size();
    ssize_t n = into_bytes ? ::read(fd.get(), bytes.data() + done, bytes.size() - done)
                           : ::read(fd.get(), more, sizeof more);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError(FileError::Kind::kOpen, file, DescribeErrno(errno));
    }
    if (n == 0) break;
    if (into_bytes) {
      done += static_cast<size_t>(n);
    } else {
      bytes.append(more, static_cast<size_t>(n));
      done = bytes.size();
    }
  }
  bytes.resize(done);
  return bytes;
}

std::string_view CutAtNul(std::string_view bytes) {
  size_t nul = bytes.find('\0');
  return nul == std::string_view::npos ? bytes : bytes.substr(0, nul);
}

std::string ReadFileText(const std::filesystem::path& file) {
  std::string bytes = ReadFileBytes(file);
  size_t nul = bytes.find('\0');
  if (nul != std::string::npos) bytes.resize(nul);
  return bytes;
}

void WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes) {
  const std::filesystem::path dir = file.parent_path().empty() ? "." : file.parent_path();
  static thread_local std::mt19937_64 random{std::random_device{}()};
  std::filesystem::path temp;
  int raw = -1;
  for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
    std::string name = ".";
    name.append(file.filename().string(), 0, 64);
    name.append(".tmp");
    name.append(std::to_string(random() % 100000000));
    temp = dir / name;
    raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (raw < 0 && errno != EEXIST) break;
  }
  if (raw < 0) throw FileError(FileError::Kind::kCreate, file, DescribeErrno(errno));
  Descriptor fd(raw);
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::unlink(temp.c_str());
      throw FileError(FileError::Kind::kCreate, file, DescribeErrno(err));
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd.release()) != 0 || ::rename(temp.c_str(), file.c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    throw FileError(FileError::Kind::kCreate, file, DescribeErrno(err));
  }
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

}  // namespace varnokel
