// SPDX-License-Identifier: GPL-3.0-or-later
// The power cut at every step of an update's commit, the disk keeping any of
// the ways what was not yet synced may be lost: the next command finds the
// database as it was before the update or as the update left it.
#include <gtest/gtest.h>

#include "base/file_calls_testing.h"
#include "base/file_lock.h"
#include "db/database_lock.h"
#include "db/journal_retirement.h"
#include "db/journaled_commit.h"
#include "db/ledger.h"
#include "db/update_plan.h"
#include "db/update_run.h"
#include "log/log_buffer.h"
#include "tests/core/test_support.h"
#include "tools/loggen/log_generator.h"

namespace varnokel {
namespace {

namespace fs = std::filesystem;
using power_loss::Leftover;
using testing::FolderContents;
using testing::TempDir;
using testing::WriteBytes;

using Folder = std::map<std::string, std::string>;

class PowerLoss : public ::testing::Test {
 protected:
  void SetUp() override {
    // The second log brings players the first has not seen: the commit
    // changes files and makes new ones.
    for (const uint64_t seed : {1, 2}) {
      loggen::LogGenOptions options;
      options.seed = seed;
      options.lines = 300;
      options.players = static_cast<int>(6 * seed);
      std::string name = "l";  // built piece by piece: GCC 12 at -O3 misreads "l" + ...
      name += std::to_string(seed);
      name += ".log";
      WriteBytes(logs_ / name, loggen::GenerateLog(options));
    }
  }
  void Fold(const fs::path& db, const std::string& log, JournalRetirement* later = nullptr) {
    LogBuffer buffer;
    LoadLogFile(buffer, logs_ / log);
    std::string reference_line;
    UpdateOptions options;
    options.journal_retirement = later;
    // As the listener after its first fold: its own journal waiting for the
    // sync is left alone.
    const bool again = later && later->Waiting();
    const DatabaseLock lock(
        db, again ? DatabaseLock::Access::kWriteAgain : DatabaseLock::Access::kWrite,
        LockWait::kWait, {}, later);
    DatabaseUpdateRun(lock, buffer, PlanUpdate(buffer, Ledger::Read(db), false), reference_line,
                      options);
  }
  // The database as the next command sees it (the lock file aside).
  static Folder Recovered(const fs::path& db) {
    DatabaseLock lock(db, DatabaseLock::Access::kWrite);
    Folder all = FolderContents(db);
    all.erase(".lock");
    return all;
  }
  static void Restore(const fs::path& db, const Folder& folder) {
    fs::remove_all(db);
    fs::create_directories(db);
    for (const auto& [name, bytes] : folder) WriteBytes(db / name, bytes);
  }

  TempDir logs_, db_;
};

TEST_F(PowerLoss, EveryStepOfACommitLeavesTheDatabaseBeforeOrAfterIt) {
  Fold(db_.path(), "l1.log");
  const Folder before = Recovered(db_.path());
  power_loss::Watch(db_.path());
  Fold(db_.path(), "l2.log");
  const long steps = power_loss::StepsSoFar();
  power_loss::Stop();
  const Folder after = Recovered(db_.path());
  ASSERT_NE(before, after);
  ASSERT_GT(steps, 10);

  for (long step = 1; step <= steps; ++step) {
    for (const Leftover leftover :
         {Leftover::kSyncedOnly, Leftover::kUnsyncedBytes, Leftover::kUnsyncedNames}) {
      SCOPED_TRACE("power cut after step " + std::to_string(step) + " of " + std::to_string(steps) +
                   ", leftover " + std::to_string(static_cast<int>(leftover)));
      Restore(db_.path(), before);
      power_loss::Watch(db_.path());
      power_loss::CutAfter(step);
      try {
        Fold(db_.path(), "l2.log");
      } catch (const std::exception&) {
        // the machine is off: whatever the run says is lost with it
      }
      const Folder on_disk = power_loss::FolderAfter(leftover);
      power_loss::Stop();
      Restore(db_.path(), on_disk);
      const Folder recovered = Recovered(db_.path());
      // An update that returned is on the disk, whatever else is lost.
      if (step == steps) {
        EXPECT_EQ(recovered, after);
      } else {
        EXPECT_TRUE(recovered == before || recovered == after);
      }
    }
  }
}

// The listener's commits return before the file system is synced: the
// journal, on the disk by then, stays until the sync is done and the next
// holder of the lock in that process removes it, so a power cut at any
// moment after the return finds the update whole. Only that journal goes,
// and meanwhile the lock's holder leaves it alone.
TEST_F(PowerLoss, AJournalRetiredLaterKeepsTheUpdateAndOnlyItself) {
  Fold(db_.path(), "l1.log");
  const Folder before = Recovered(db_.path());
  Fold(db_.path(), "l2.log");
  const Folder after = Recovered(db_.path());
  const fs::path journal = db_.path() / std::string(kJournalName);

  for (const Leftover leftover :
       {Leftover::kSyncedOnly, Leftover::kUnsyncedBytes, Leftover::kUnsyncedNames}) {
    SCOPED_TRACE("leftover " + std::to_string(static_cast<int>(leftover)));
    Restore(db_.path(), before);
    power_loss::Watch(db_.path());
    JournalRetirement later;
    Fold(db_.path(), "l2.log", &later);
    const Folder returned = power_loss::FolderAfter(leftover);  // synced or not yet
    {
      const DatabaseLock reader(db_.path(), DatabaseLock::Access::kRead, LockWait::kWait, {},
                                &later);
      EXPECT_TRUE(fs::exists(journal));
    }
    {
      const DatabaseLock again(db_.path(), DatabaseLock::Access::kWriteAgain, LockWait::kWait, {},
                               &later);
      EXPECT_TRUE(fs::exists(journal));
      later.Retire(db_.path());
    }
    const Folder retired = power_loss::FolderAfter(leftover);
    power_loss::Stop();
    Folder now = FolderContents(db_.path());
    now.erase(".lock");
    EXPECT_EQ(now, after);
    for (const Folder& on_disk : {returned, retired}) {
      Restore(db_.path(), on_disk);
      EXPECT_EQ(Recovered(db_.path()), after);
    }
  }

  JournalRetirement later;
  WriteBytes(journal, "varnokel journal 2\nend 0 theirs\n");
  later.Start(db_.path(), "varnokel journal 2\nend 0 ours\n", 11);
  EXPECT_FALSE(later.Holds(db_.path()));
  later.Retire(db_.path());
  EXPECT_TRUE(fs::exists(journal));
}

// A commit that comes while the last one's sync still runs carries that
// journal's files in its own instead of waiting: the disk may have kept none
// of the last commit's files, and a power cut at any step of this one finds
// the database as the last commit or this one left it.
TEST_F(PowerLoss, ACommitBeforeTheLastSyncCarriesItsJournal) {
  loggen::LogGenOptions options;
  options.seed = 3;
  options.lines = 300;
  options.players = 9;
  WriteBytes(logs_ / "l3.log", loggen::GenerateLog(options));
  Fold(db_.path(), "l1.log");
  const Folder before = Recovered(db_.path());
  Fold(db_.path(), "l2.log");
  const Folder first = Recovered(db_.path());
  Fold(db_.path(), "l3.log");
  const Folder both = Recovered(db_.path());
  long first_steps = 0, steps = 0;

  auto fold_both = [&](long cut, Leftover leftover) {
    Restore(db_.path(), before);
    power_loss::Watch(db_.path());
    power_loss::HoldSyncs();
    power_loss::CutAfter(cut);
    JournalRetirement later;
    Fold(db_.path(), "l2.log", &later);
    first_steps = power_loss::StepsSoFar();
    try {
      Fold(db_.path(), "l3.log", &later);
    } catch (const std::exception&) {
      // the machine is off
    }
    steps = power_loss::StepsSoFar();
    const Folder on_disk = power_loss::FolderAfter(leftover);
    power_loss::Stop();
    Restore(db_.path(), on_disk);
    return Recovered(db_.path());
  };
  EXPECT_EQ(fold_both(0, Leftover::kSyncedOnly), both);
  ASSERT_GT(steps, first_steps + 3);
  const long last = steps;
  for (long step = first_steps + 1; step <= last; ++step) {
    for (const Leftover leftover :
         {Leftover::kSyncedOnly, Leftover::kUnsyncedBytes, Leftover::kUnsyncedNames}) {
      SCOPED_TRACE("power cut after step " + std::to_string(step) + ", leftover " +
                   std::to_string(static_cast<int>(leftover)));
      const Folder recovered = fold_both(step, leftover);
      if (step == last) {
        EXPECT_EQ(recovered, both);
      } else {
        EXPECT_TRUE(recovered == first || recovered == both);
      }
    }
  }
}

}  // namespace
}  // namespace varnokel
