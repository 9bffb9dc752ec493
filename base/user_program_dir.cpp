#include "base/user_program_dir.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "base/file_io.h"
#include "base/program_dir.h"
#include "base/system_error_text.h"

#ifndef VARNOKEL_SHARED_FROM_BIN
#define VARNOKEL_SHARED_FROM_BIN "../share/varnokel"
#endif

namespace varnokel {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kProgramName = "varnokel";
constexpr std::string_view kDataHomeBelowHome = ".local/share";  // XDG default
// Read-only parts every user reads from the installation itself, neither
// copied nor linked (a link would dangle once the package is removed): the
// Flash player (tens of megabytes), the dialog font and the sample logs.
constexpr std::array<std::string_view, 3> kSharedInPlace = {"ruffle", "fonts", "samples"};
// The site folder, which every web server account must be able to read:
// its folders and files get fixed modes whatever the umask.
constexpr std::string_view kSiteFolder = "html";
constexpr fs::perms kPublishedFolderMode = fs::perms(0755);
constexpr fs::perms kPublishedFileMode = fs::perms(0644);

enum class Modes { kUsers, kPublished };

bool IsAbsolute(std::string_view path) {
  return !path.empty() && path.front() == '/';
}

bool Exists(const fs::path& path) {
  std::error_code ignored;
  return fs::exists(fs::symlink_status(path, ignored));
}

// A name in `dir` no other process uses, for a file or folder made there and
// renamed to its final name once complete.
fs::path StagingName(const fs::path& dir, const fs::path& final_name) {
  // Appended in place: a literal in front of a temporary string draws GCC 12's
  // false -Wrestrict alarm at -O3.
  std::string name = ".";
  name.append(final_name.string()).append(".new-").append(std::to_string(::getpid()));
  return dir / name;
}

void MakeFolder(const fs::path& dir) {
  std::error_code error;
  fs::create_directories(dir, error);
  if (error) throw FileError(FileError::Kind::kCreate, dir, DescribeError(error.value()));
}

// Copies the regular file `from` to `to` unless `to` exists: written under a
// staging name and renamed, so a copy is never left half-written. The copy is
// the user's to change (owner write permission).
void CopyFileIfMissing(const fs::path& from, const fs::path& to, Modes modes) {
  if (Exists(to)) return;
  const fs::path staging = StagingName(to.parent_path(), to.filename());
  std::error_code error;
  fs::copy_file(from, staging, fs::copy_options::overwrite_existing, error);
  if (!error && modes == Modes::kPublished)
    fs::permissions(staging, kPublishedFileMode, error);
  else if (!error)
    fs::permissions(staging, fs::perms::owner_write, fs::perm_options::add, error);
  if (!error) fs::rename(staging, to, error);
  if (error) {
    std::error_code ignored;
    fs::remove(staging, ignored);
    throw FileError(FileError::Kind::kCreate, to, DescribeError(error.value()));
  }
}

// Copies the file or folder `from` to `to`, adding only what `to` lacks.
void CopyIfMissing(const fs::path& from, const fs::path& to, Modes modes) {
  std::error_code error;
  const fs::file_status status = fs::status(from, error);
  if (fs::is_regular_file(status)) return CopyFileIfMissing(from, to, modes);
  if (!fs::is_directory(status)) return;  // nothing else is shipped
  const bool made = !Exists(to);
  MakeFolder(to);
  if (made && modes == Modes::kPublished) fs::permissions(to, kPublishedFolderMode, error);
  if (error) throw FileError(FileError::Kind::kCreate, to, DescribeError(error.value()));
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(from, error), end; !error && it != end; it.increment(error))
    entries.push_back(it->path());
  if (error) throw FileError(FileError::Kind::kOpen, from, DescribeError(error.value()));
  for (const fs::path& entry : entries) CopyIfMissing(entry, to / entry.filename(), modes);
}

// The nine empty databases, made under a staging name and renamed at once:
// the databases folder marks a complete program folder.
void MakeDatabases(const fs::path& folder) {
  const fs::path databases = folder / kDatabasesFolder;
  const fs::path staging = StagingName(folder, databases.filename());
  std::error_code error;
  fs::remove_all(staging, error);
  for (int n = 1; n <= kDatabaseCount; ++n) MakeFolder(staging / ("db" + std::to_string(n)));
  fs::rename(staging, databases, error);
  if (error) {
    std::error_code ignored;
    fs::remove_all(staging, ignored);
    // Another start of the program may have finished first.
    if (!IsProgramFolder(folder))
      throw FileError(FileError::Kind::kCreate, databases, DescribeError(error.value()));
  }
}

bool IsSharedInPlace(const fs::path& name) {
  for (std::string_view shared : kSharedInPlace)
    if (name == shared) return true;
  return false;
}

}  // namespace

bool IsProgramFolder(const fs::path& dir) {
  std::error_code ignored;
  return fs::is_directory(dir / kDatabasesFolder, ignored);
}

fs::path UserProgramDir(std::string_view xdg_data_home, std::string_view home) {
  if (IsAbsolute(xdg_data_home)) return fs::path(xdg_data_home) / kProgramName;
  if (IsAbsolute(home)) return fs::path(home) / kDataHomeBelowHome / kProgramName;
  throw std::runtime_error(
      "kein Ordner f\xC3\xBCr die Dateien des Programms: weder XDG_DATA_HOME noch HOME nennt "
      "einen absoluten Ordner");
}

fs::path UserProgramDirFromEnvironment() {
  const char* xdg_data_home = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (home == nullptr) {
    const passwd* user = ::getpwuid(::getuid());
    if (user != nullptr) home = user->pw_dir;
  }
  return UserProgramDir(xdg_data_home != nullptr ? xdg_data_home : "", home != nullptr ? home : "");
}

fs::path SharedFilesDir(const fs::path& executable_dir) {
  return (executable_dir / VARNOKEL_SHARED_FROM_BIN).lexically_normal();
}

void SetUpUserProgramDir(const fs::path& folder, const fs::path& shared) {
  if (IsProgramFolder(folder)) return;
  std::error_code error;
  if (!fs::is_directory(shared, error)) {
    throw FileError(FileError::Kind::kOpen, shared,
                    "die mitgelieferten Dateien der Installation fehlen");
  }
  MakeFolder(folder);
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(shared, error), end; !error && it != end; it.increment(error))
    entries.push_back(it->path());
  if (error) throw FileError(FileError::Kind::kOpen, shared, DescribeError(error.value()));
  for (const fs::path& entry : entries) {
    const fs::path name = entry.filename();
    if (!IsSharedInPlace(name))
      CopyIfMissing(entry, folder / name, name == kSiteFolder ? Modes::kPublished : Modes::kUsers);
  }
  MakeDatabases(folder);
}

bool SetUpGivenProgramFolder(const fs::path& folder) {
  if (IsProgramFolder(folder)) return false;
  std::error_code error;
  if (Exists(folder) && !fs::is_empty(folder, error)) return false;
  SetUpUserProgramDir(folder, SharedFilesDir(ProgramDir()));
  return true;
}

ProgramFolderChoice ChooseProgramFolder() {
  const fs::path executable_dir = ProgramDir();
  if (IsProgramFolder(executable_dir)) return {executable_dir, false};
  fs::path folder = UserProgramDirFromEnvironment();
  SetUpUserProgramDir(folder, SharedFilesDir(executable_dir));
  return {std::move(folder), true};
}

}  // namespace varnokel
