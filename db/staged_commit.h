// Crash-safe replacement of many files of a database folder at once: either
// every new version is in place or none is, whenever the process dies.
//
// What is on disk at every moment:
//  1. Staging. The new versions are written to ".staging/<name>" in the
//     database folder; the database's own files are untouched. A process
//     killed now leaves only the staging folder, which the next command on
//     the database deletes: the change is rolled back.
//  2. Commit point. The record ".commit" appears, renamed into place from a
//     complete temporary file. From then on the change counts as made: a
//     process killed now leaves the record, and the next command moves the
//     staged files into place: the change is rolled forward.
//  3. Apply. Each staged file is renamed over its database file (a rename
//     replaces a file whole, so each file is always its old or its new
//     version); then the record and the staging folder go.
// Every command that touches a database first calls RecoverDatabase under the
// exclusive lock, so no reader ever sees a change half applied.
#pragma once

#include <filesystem>
#include <string_view>

namespace varnokel {

inline constexpr std::string_view kStagingFolderName = ".staging";
inline constexpr std::string_view kCommitRecordName = ".commit";

class StagedCommit {
 public:
  // `sync`: the staged files reach the disk before the commit point and the
  // renames before Commit returns, so that a power loss keeps the old or the
  // new state too (a process that is killed needs no sync).
  StagedCommit(std::filesystem::path database_dir, bool sync);
  StagedCommit(const StagedCommit&) = delete;
  StagedCommit& operator=(const StagedCommit&) = delete;
  ~StagedCommit();  // not committed: everything staged is removed

  // Writes the new version of database file `name`. Throws FileError naming
  // the database file (not its staged copy).
  void Stage(std::string_view name, std::string_view bytes);

  // Passes the commit point and applies. A failure before the commit point
  // rolls everything back and throws FileError; one after it throws
  // CommitIncomplete (the next command on the database completes it).
  void Commit();

 private:
  std::filesystem::path dir_;
  std::filesystem::path staging_;
  bool sync_;
  bool staged_any_ = false;
  bool committed_ = false;
};

// Thrown when the commit point was passed but not every file could be moved
// into place: the change is made and the next command completes it.
class CommitIncomplete : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// True when `database_dir` holds what an interrupted commit left behind.
bool NeedsRecovery(const std::filesystem::path& database_dir);

// Completes an interrupted commit (commit record present) or rolls it back
// (staged files without a record), and removes leftover temporary files of
// atomic writes. The caller holds the database's exclusive lock. Throws
// FileError naming the file that could not be moved into place.
void RecoverDatabase(const std::filesystem::path& database_dir);

}  // namespace varnokel
