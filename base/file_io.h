// File access shared by every part of the program: whole-file reads, atomic
// replacement of files, and directory listings in a defined order.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace varnokel {

// A file that could not be opened, read or written. Carries the file's path so
// that the window and the command-line tool can name it to the user.
class FileError : public std::runtime_error {
 public:
  enum class Kind { kOpen, kCreate, kInvalidName };

  FileError(Kind kind, std::filesystem::path file, const std::string& detail = {});

  Kind kind() const { return kind_; }
  const std::filesystem::path& file() const { return file_; }

 private:
  Kind kind_;
  std::filesystem::path file_;
};

// Reads the whole file byte for byte. Throws FileError(kOpen) when the path
// cannot be opened as a regular file (missing, a directory, no permission).
std::string ReadFileBytes(const std::filesystem::path& file);

// Like ReadFileBytes, then cut at the first NUL byte (the text ends there).
std::string ReadFileText(const std::filesystem::path& file);

// The bytes up to (not including) the first NUL, or all of them.
std::string_view CutAtNul(std::string_view bytes);

// Replaces `file` with exactly `bytes`: written whole to a hidden temporary
// file in the same folder (name starts with ".") and renamed over the target,
// so that a crash leaves the old or the new file, never a truncated one.
// Throws FileError(kCreate) when the temporary file cannot be made or renamed.
void WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes);

// Names of all entries of `dir` (files and folders), sorted by their bytes as
// unsigned values so that every machine lists a database the same way. "." and
// ".." are not included. A folder that does not exist or cannot be read gives
// an empty list.
std::vector<std::string> ListEntryNames(const std::filesystem::path& dir);

// True when `path` names an existing regular file.
bool IsRegularFile(const std::filesystem::path& path);

}  // namespace varnokel
