// SPDX-License-Identifier: GPL-3.0-or-later
// One writer per database: the update run and the deletion hold an exclusive
// lock on the database folder's lock file ".lock", listings, details and the
// report a shared one, so a reader never sees a half-committed update. The
// system drops the lock of a process that dies, and the next command to take
// the lock completes or rolls back what that process left (RecoverDatabase).
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string_view>

#include "base/file_lock.h"

namespace varnokel {

inline constexpr std::string_view kLockFileName = ".lock";

enum class LockWait { kWait, kNoWait };

class JournalRetirement;

// The database is locked by another process and the caller would not wait.
class DatabaseBusy : public std::runtime_error {
 public:
  explicit DatabaseBusy(const std::filesystem::path& database_dir);
  const std::filesystem::path& database_dir() const { return database_dir_; }

 private:
  std::filesystem::path database_dir_;
};

class DatabaseLock {
 public:
  // kWriteAgain: a writer that takes the lock over and over (the listener,
  // every second) and has looked once already: an interrupted commit is
  // completed as for kWrite, but the folder is not searched for leftover
  // temporary files (they disturb nobody; a pass over a folder of many
  // players costs more than many a fold). access() then says kWrite.
  enum class Access { kRead, kWrite, kWriteAgain };

  // Takes the lock, waiting as `wait` says (`on_wait` is called once when it
  // has to wait), then recovers an interrupted commit. Throws DatabaseBusy,
  // or FileError naming the lock file when a writer cannot create it, or
  // the lock file, journal or ledger when it is a symbolic link. A
  // reader of a folder that does not exist or cannot hold a lock file reads
  // unlocked: nobody can write there either.
  // A kWriteAgain writer, or a reader, of the process that left its last
  // journal to `own_journal` finds it there and leaves it to that: it is no
  // interrupted commit, its files are written whole (only not yet synced).
  DatabaseLock(std::filesystem::path database_dir, Access access, LockWait wait = LockWait::kWait,
               const std::function<void()>& on_wait = {},
               const JournalRetirement* own_journal = nullptr);
  ~DatabaseLock();

  const std::filesystem::path& database_dir() const { return dir_; }
  Access access() const { return access_; }

 private:
  void Take(FileLock::Mode mode, LockWait wait, const std::function<void()>& on_wait);
  bool Interrupted(const JournalRetirement* own_journal) const;

  std::filesystem::path dir_;
  Access access_;
  std::unique_ptr<FileLock> lock_;
};

}  // namespace varnokel
