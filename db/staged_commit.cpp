#include "db/staged_commit.h"

#include <unistd.h>

#include <system_error>

#include "base/file_io.h"

namespace varnokel {

namespace {

namespace fs = std::filesystem;

// A temporary file of WriteFileAtomic: "." + name + ".tmp" + digits.
bool IsLeftoverTemporary(std::string_view name) {
  const size_t tmp = name.rfind(".tmp");
  if (name.size() < 2 || name[0] != '.' || tmp == std::string_view::npos || tmp == 0) return false;
  const std::string_view digits = name.substr(tmp + 4);
  return !digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos;
}

void RemoveStaging(const fs::path& staging) {
  for (const std::string& name : ListEntryNames(staging)) ::unlink((staging / name).c_str());
  ::rmdir(staging.c_str());
}

// Moves every staged file over its database file, then drops the record.
void RollForward(const fs::path& dir, const fs::path& staging) {
  for (const std::string& name : ListEntryNames(staging)) RenameFile(staging / name, dir / name);
  ::unlink((dir / kCommitRecordName).c_str());
  ::rmdir(staging.c_str());
}

}  // namespace

StagedCommit::StagedCommit(fs::path database_dir, bool sync)
    : dir_(std::move(database_dir)), staging_(dir_ / kStagingFolderName), sync_(sync) {}

StagedCommit::~StagedCommit() {
  if (!committed_ && staged_any_) RemoveStaging(staging_);
}

void StagedCommit::Stage(std::string_view name, std::string_view bytes) {
  if (!staged_any_) {
    std::error_code error;
    fs::create_directory(staging_, error);
    if (error) throw FileError(FileError::Kind::kCreate, staging_, error.message());
    staged_any_ = true;
  }
  try {
    WriteNewFile(staging_ / name, bytes);
  } catch (const FileError& error) {
    // The user knows the database file, not its staged copy.
    throw FileError(FileError::Kind::kCreate, dir_ / name, error.detail());
  }
}

void StagedCommit::Commit() {
  if (!staged_any_) {
    committed_ = true;
    return;
  }
  if (sync_) SyncFileSystem(dir_);
  WriteFileAtomic(dir_ / kCommitRecordName, "staged files are complete\n");
  committed_ = true;
  try {
    RollForward(dir_, staging_);
    if (sync_) SyncFileSystem(dir_);
  } catch (const FileError& error) {
    throw CommitIncomplete(std::string(error.what()) +
                           " (the update is recorded; the next command on this database "
                           "completes it)");
  }
}

bool NeedsRecovery(const fs::path& database_dir) {
  std::error_code error;
  if (fs::exists(fs::symlink_status(database_dir / kCommitRecordName, error))) return true;
  if (fs::exists(fs::symlink_status(database_dir / kStagingFolderName, error))) return true;
  for (const std::string& name : ListEntryNames(database_dir)) {
    if (IsLeftoverTemporary(name)) return true;
  }
  return false;
}

void RecoverDatabase(const fs::path& database_dir) {
  const fs::path staging = database_dir / kStagingFolderName;
  std::error_code error;
  if (fs::exists(fs::symlink_status(database_dir / kCommitRecordName, error))) {
    RollForward(database_dir, staging);
  } else {
    RemoveStaging(staging);
  }
  for (const std::string& name : ListEntryNames(database_dir)) {
    if (IsLeftoverTemporary(name)) ::unlink((database_dir / name).c_str());
  }
}

}  // namespace varnokel
