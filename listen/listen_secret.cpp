#include "listen/listen_secret.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/file_io.h"

namespace varnokel {

namespace {

namespace fs = std::filesystem;

constexpr mode_t kOthersAccess = S_IRWXG | S_IRWXO;
constexpr size_t kMaxSecretFileBytes = 4096;

// Closes a descriptor when it goes.
struct OpenFile {
  int fd;
  ~OpenFile() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

std::string ReadSecretFile(const fs::path& file) {
  const OpenFile open{::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY)};
  if (open.fd < 0) throw FileError(FileError::Kind::kOpen, file, std::strerror(errno));
  struct stat st {};
  if (::fstat(open.fd, &st) != 0)
    throw FileError(FileError::Kind::kOpen, file, std::strerror(errno));
  if (!S_ISREG(st.st_mode)) throw FileError(FileError::Kind::kOpen, file, "keine Datei");
  if ((st.st_mode & kOthersAccess) != 0)
    throw FileError(FileError::Kind::kOpen, file,
                    "auch andere Benutzer als der Eigent\xC3\xBCmer haben Zugriff "
                    "(chmod 600 hilft)");
  std::string bytes(kMaxSecretFileBytes, '\0');
  const ssize_t got = ::read(open.fd, bytes.data(), bytes.size());
  if (got < 0) throw FileError(FileError::Kind::kOpen, file, std::strerror(errno));
  bytes.resize(static_cast<size_t>(got));
  bytes.resize(std::min(bytes.find('\n'), bytes.size()));
  if (bytes.ends_with('\r')) bytes.pop_back();
  if (bytes.empty())
    throw FileError(FileError::Kind::kOpen, file, "kein Passwort in der ersten Zeile");
  return bytes;
}

std::optional<std::string> ChooseSecret(const ListenOptions& options) {
  if (options.secret) return options.secret;
  if (options.secret_file) return ReadSecretFile(*options.secret_file);
  const char* credentials = std::getenv(kCredentialsDirectoryVariable);
  if (credentials == nullptr || *credentials == '\0') return std::nullopt;
  const fs::path credential = fs::path(credentials) / kCredentialName;
  std::error_code error;
  if (!fs::exists(credential, error)) return std::nullopt;
  return ReadSecretFile(credential);
}

}  // namespace varnokel
