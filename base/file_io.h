// SPDX-License-Identifier: GPL-3.0-or-later
// File access shared by every part of the program: whole-file reads, atomic
// replacement of files, and directory listings in a defined order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/byte_buffer.h"
#include "base/replaced_file.h"

namespace varnokel {

// A file that could not be opened, read or written. Carries the file's path so
// that the window and the command-line tool can name it to the user.
class FileError : public std::runtime_error {
 public:
  enum class Kind { kOpen, kCreate, kInvalidName };

  FileError(Kind kind, std::filesystem::path file, const std::string& detail = {});

  Kind kind() const { return kind_; }
  const std::filesystem::path& file() const { return file_; }
  const std::string& detail() const { return detail_; }  // the system's reason, or empty

 private:
  Kind kind_;
  std::filesystem::path file_;
  std::string detail_;
};

// A file another process holds locked for writing: `detail` says who.
class FileHeld : public FileError {
 public:
  FileHeld(std::filesystem::path file, const std::string& detail)
      : FileError(Kind::kCreate, std::move(file), detail) {}
};

// Reads the whole file byte for byte. Throws FileError(kOpen) when the path
// cannot be opened as a regular file (missing, a directory, no permission).
std::string ReadFileBytes(const std::filesystem::path& file);

// Appends the whole file to `out`, read straight into its end (no second
// copy). Throws FileError(kOpen) like ReadFileBytes; `out` is then unchanged.
// With `follow_links` false a symbolic link is refused like a folder.
void AppendFileBytes(std::string& out, const std::filesystem::path& file, bool follow_links = true);
void AppendFileBytes(ByteBuffer& out, const std::filesystem::path& file, bool follow_links = true);

// The same from byte `from` of the file on (nothing when the file is shorter).
void AppendFileBytesFrom(std::string& out, const std::filesystem::path& file, uint64_t from,
                         bool follow_links = true);
void AppendFileBytesFrom(ByteBuffer& out, const std::filesystem::path& file, uint64_t from,
                         bool follow_links = true);

// Like ReadFileBytes, then cut at the first NUL byte (the text ends there).
std::string ReadFileText(const std::filesystem::path& file, bool follow_links = true);

// The bytes up to (not including) the first NUL, or all of them.
std::string_view CutAtNul(std::string_view bytes);

// Replaces `file` with exactly `bytes`: written whole to a hidden temporary
// file in the same folder (name starts with ".") and renamed over the target,
// so that a crash leaves the old or the new file, never a truncated one.
// Returns the old file, still open: it is freed when that is dropped.
// Throws FileError(kCreate) when the temporary file cannot be made or renamed.
ReplacedFile WriteFileAtomic(const std::filesystem::path& file, std::string_view bytes);

// WriteFileAtomic for bytes that come in pieces: each Write goes straight to
// the hidden temporary file, and Commit renames it over the target. A writer
// dropped without Commit removes its temporary file and leaves the target as
// it was. Throws FileError(kCreate) naming the target.
class AtomicFileWriter {
 public:
  // The new file gets the mode 0644 less the umask, or exactly `fixed_mode`.
  explicit AtomicFileWriter(std::filesystem::path file,
                            std::optional<std::filesystem::perms> fixed_mode = std::nullopt);
  // Writes `file` under its own name, which must be free, in a folder that
  // nobody reads before it is renamed into place whole (a fresh hidden one):
  // the folder's rename is what makes the file appear, so it needs no
  // temporary name. Commit only closes it; dropped before Commit, it is
  // removed.
  static AtomicFileWriter InUnpublishedFolder(
      std::filesystem::path file, std::optional<std::filesystem::perms> fixed_mode = std::nullopt);
  AtomicFileWriter(AtomicFileWriter&& other) noexcept;
  AtomicFileWriter& operator=(AtomicFileWriter&& other) = delete;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  ~AtomicFileWriter();

  void Write(std::string_view bytes);
  // Puts the written bytes in the target's place; returns the old file, still
  // open. Nothing more may be written.
  ReplacedFile Commit();

 private:
  AtomicFileWriter() = default;
  void Fail(int err);  // removes the temporary file and throws
  void SetMode(std::optional<std::filesystem::perms> fixed_mode);
  bool Unpublished() const { return temp_ == file_; }

  std::filesystem::path file_;
  std::filesystem::path temp_;
  int fd_ = -1;
};

// True for the name of a temporary file WriteFileAtomic makes ("." + name +
// ".tmp" + digits), which a crash may leave behind.
bool IsAtomicWriteTemporary(std::string_view name);

// Creates or truncates `file` and writes exactly `bytes`, then closes it; no
// temporary file (for files that are themselves staged and renamed later).
// With `sync`, the data reaches the disk before it returns. Throws
// FileError(kCreate) naming the file.
void WriteNewFile(const std::filesystem::path& file, std::string_view bytes, bool sync = false);

// Writes `bytes` over `file` in place, keeping its inode and blocks (so no
// new file is made and no block freed), creating it when missing, and cuts
// it to their length. Not atomic: a caller keeps a journal to complete an
// interrupted write (JournaledCommit). Refuses a symbolic link. Throws
// FileError(kCreate) naming the file.
void OverwriteFile(const std::filesystem::path& file, std::string_view bytes);

// Renames `from` to `to` (replacing `to`, even a symbolic link itself, never
// what it points to). Throws FileError(kCreate) naming `to`.
void RenameFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Flushes everything written to the file system that holds `path` to disk.
// Throws FileError(kCreate) naming `path` when that fails.
void SyncFileSystem(const std::filesystem::path& path);

// Makes the names in folder `dir` (files made, renamed or removed there)
// reach the disk. Throws FileError(kCreate) naming `dir` when that fails.
void SyncFolder(const std::filesystem::path& dir);

// Removes `file` (a symbolic link itself, not what it points to); false when
// it could not be removed or was not there.
bool RemoveFile(const std::filesystem::path& file);

// Names of all entries of `dir` (files and folders), sorted by their bytes as
// unsigned values so that every machine lists a database the same way. "." and
// ".." are not included. A folder that does not exist or cannot be read gives
// an empty list.
std::vector<std::string> ListEntryNames(const std::filesystem::path& dir);

// True when `path` names an existing regular file.
bool IsRegularFile(const std::filesystem::path& path);

// True when `path` itself is a symbolic link (whatever it points to).
bool IsSymbolicLink(const std::filesystem::path& path);

}  // namespace varnokel
