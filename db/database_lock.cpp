#include "db/database_lock.h"

#include <string_view>

#include "base/file_io.h"
#include "db/journal_retirement.h"
#include "db/journaled_commit.h"
#include "db/ledger.h"

namespace varnokel {

namespace {

// A lock file, journal or ledger that is a symbolic link would let a command
// run without a lock, or read and write outside the folder: every command
// refuses the database until it is a file again.
void RefuseLinkedFiles(const std::filesystem::path& dir) {
  for (const std::string_view name :
       {kLockFileName, kJournalName, kPendingJournalName, kLedgerFileName}) {
    if (IsSymbolicLink(dir / name))
      throw FileError(FileError::Kind::kOpen, dir / name, "ein symbolischer Verweis, keine Datei");
  }
}

}  // namespace

DatabaseBusy::DatabaseBusy(const std::filesystem::path& database_dir)
    : std::runtime_error("Datenbank " + database_dir.string() +
                         " wird von einem anderen Programm benutzt"),
      database_dir_(database_dir) {}

DatabaseLock::DatabaseLock(std::filesystem::path database_dir, Access access, LockWait wait,
                           const std::function<void()>& on_wait,
                           const JournalRetirement* own_journal)
    : dir_(std::move(database_dir)),
      access_(access == Access::kWriteAgain ? Access::kWrite : access) {
  RefuseLinkedFiles(dir_);
  try {
    lock_ = std::make_unique<FileLock>(dir_ / kLockFileName);
  } catch (const FileError&) {
    if (access_ == Access::kWrite) throw;
    return;  // see the header: nothing to lock against
  }
  if (access_ == Access::kWrite) {
    Take(FileLock::Mode::kExclusive, wait, on_wait);
    const bool again = access == Access::kWriteAgain;
    if (again ? Interrupted(own_journal) : NeedsRecovery(dir_)) RecoverDatabase(dir_);
    return;
  }
  // Recovering writes: for a moment the reader becomes a writer. Another
  // writer may slip in when the lock changes mode, so look again each time.
  // Leftover temporary files do not disturb a reader; the next writer
  // removes them.
  for (;;) {
    Take(FileLock::Mode::kShared, wait, on_wait);
    if (!Interrupted(own_journal)) return;
    lock_->Unlock();
    Take(FileLock::Mode::kExclusive, wait, on_wait);
    if (NeedsRecovery(dir_)) RecoverDatabase(dir_);
    lock_->Unlock();
  }
}

DatabaseLock::~DatabaseLock() = default;

// A journal left to `own_journal` is whole and applied, only not yet synced.
bool DatabaseLock::Interrupted(const JournalRetirement* own_journal) const {
  return HasInterruptedCommit(dir_) && !(own_journal && own_journal->Holds(dir_));
}

void DatabaseLock::Take(FileLock::Mode mode, LockWait wait, const std::function<void()>& on_wait) {
  if (lock_->TryLock(mode)) return;
  if (wait == LockWait::kNoWait) throw DatabaseBusy(dir_);
  if (on_wait) on_wait();
  lock_->Lock(mode);
}

}  // namespace varnokel
