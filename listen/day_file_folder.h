// SPDX-License-Identifier: GPL-3.0-or-later
// Folding the day files into a database while they grow: through the
// database's ledger, its write lock and the journaled commit, like any update
// run, so that every complete line is folded exactly once whenever the
// process dies.
//
// A fold costs what was written since the last one, not the size or number
// of the day files, and never more than its budget (or what arrived): it
// looks only at the files that grew, and for every day file it folds the
// folder keeps where its last incomplete chunk of lines starts and how far
// it is folded, and reads only from there (PlanUpdate over LogStart). The
// ledger is kept from one fold to the next (kept_ledger.h) and read again
// under the lock whenever its file is not as the last fold left it, so a run
// that stopped part-way or another writer is taken into account there. The
// ledger names each day file by its path below Logs
// ("192.0.2.7_27015/L20030315.log").
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/file_stamp.h"
#include "db/database_lock.h"
#include "db/journal_retirement.h"
#include "db/player_cache.h"
#include "db/update_plan.h"
#include "db/update_run.h"
#include "listen/fold_budget.h"
#include "listen/kept_ledger.h"

namespace varnokel {

class DayFileFolder {
 public:
  using Clock = std::chrono::steady_clock;

  DayFileFolder(std::filesystem::path logs_dir, std::filesystem::path database_dir);

  // Takes up those of `day_files` (paths relative to the Logs folder) that
  // the ledger does not hold whole: what an earlier run wrote and did not
  // fold. A file the ledger holds under its own name with its whole size is
  // passed over unread, so that a start does not read every day file ever
  // written.
  void TakeUpUnfolded(const std::vector<std::string>& day_files);

  // Notes day files (paths relative to the Logs folder) that have grown.
  void Grown(const std::vector<std::string>& files);
  bool HasWork() const;

  // Folds the complete lines the grown day files hold beyond what is folded,
  // in one update run, in the order of sender and date: as many as the fold
  // budget (fold_budget.h) lets it take, and never fewer bytes than the files
  // grew by since the last fold (at most kMostSecondsTaken of them), shared
  // fairly among the files; what is left stays work for the next fold
  // (HasWork). A run that the bound on new players stopped makes the next
  // begin with the sender it stopped at (the others following round), so
  // that the new players of every sender have their turn. Waits for the
  // database as `wait` says (DatabaseBusy). Throws what DatabaseUpdateRun
  // throws, or FileError for a day file that cannot be read (after folding
  // the others); the next fold goes on from what the ledger then holds.
  UpdateSummary Fold(LockWait wait, std::string& reference_line);

  // Removes the journal the last fold left to the file system's sync, once
  // that is done (waiting for it), unless another program holds the
  // database: another program that took the lock would complete that commit
  // a second time. Throws FileError naming the folder when the sync failed
  // (the journal stays for the next command).
  void SettleJournal();
  // The last fold's journal while it waits for the sync: for the lock of a
  // reader in this process, which need not wait (DatabaseLock).
  const JournalRetirement* OwnJournal() const { return &retirement_; }
  // Runs `write`, which writes or removes a file of this process in the
  // database folder (the site's index, the last journal) while a lock of this
  // process keeps every other writer out: the player files kept for the next
  // fold stay kept.
  void WriteOwnFile(const std::function<void()>& write);

  // Forgets the day files folded whole that have not grown since `idle_since`
  // (a day file that grows again is taken up anew).
  void ForgetIdle(Clock::time_point idle_since);

 private:
  struct DayFileState {
    LogStart start;  // where to read on from
    Clock::time_point last_grown = Clock::now();
    std::optional<uint64_t> size;  // when last looked at
  };
  using Files = std::map<std::string, DayFileState>;
  // A grown day file and the bytes it holds beyond what is folded.
  struct Waiting {
    Files::iterator it;
    uint64_t bytes = 0;
  };

  std::vector<Waiting> WaitingFiles(uint64_t& arrived);
  uint64_t ArrivedToTake(uint64_t arrived, Clock::time_point now);
  void KeepPlayers(bool all_committed);

  std::filesystem::path logs_dir_;
  std::filesystem::path database_dir_;
  KeptLedger ledger_;
  Files files_;
  std::set<std::string> grown_;  // of files_, to fold; ordered: sender, then date
  FoldBudget budget_;
  std::optional<Clock::time_point> last_look_;  // at the grown files
  std::string first_sender_;  // whose files a fold takes first, the others following in order
  bool looked_for_leftovers_ = false;  // of commits, at the first fold (DatabaseLock)
  // The player files as the last fold left them, kept while nobody else
  // changed anything in the database folder (its stamp after that fold) and
  // while they are few enough to hold.
  std::optional<PlayerCache> players_;
  FileStamp players_stamp_;
  JournalRetirement retirement_;  // of the last fold's journal
};

}  // namespace varnokel
