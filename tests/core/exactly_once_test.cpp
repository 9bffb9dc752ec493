// SPDX-License-Identifier: GPL-3.0-or-later
// Every log line folded exactly once: the ledger, the staged commit under
// write failures, symbolic links, and the folder intake.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

#include "base/file_calls_testing.h"
#include "db/database_commands.h"
#include "db/database_lock.h"
#include "db/journaled_commit.h"
#include "db/ledger.h"
#include "db/new_logs.h"
#include "db/player_file.h"
#include "db/update_run.h"
#include "log/log_buffer.h"
#include "tests/core/store_support.h"
#include "tests/core/test_support.h"
#include "tools/loggen/log_generator.h"

namespace varnokel {
namespace {

namespace fs = std::filesystem;
using testing::DatabaseContents;
using testing::FolderContents;
using testing::LogLine;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

std::string Generated(uint64_t seed, size_t lines) {
  loggen::LogGenOptions options;
  options.seed = seed;
  options.lines = lines;
  options.players = 12;
  return loggen::GenerateLog(options);
}

void CopyFiles(const fs::path& from, const fs::path& to) {
  for (const fs::directory_entry& file : fs::directory_iterator(from))
    fs::copy_file(file.path(), to / file.path().filename());
}

class ExactlyOnce : public ::testing::Test {
 protected:
  // Loads `files` (names in the log folder) and updates database `db`.
  UpdateSummary Fold(const fs::path& db, const std::vector<std::string>& files,
                     bool again = false) {
    LogBuffer buffer;
    for (const std::string& name : files) LoadLogFile(buffer, logs_ / name);
    UpdateOptions options;
    options.again = again;
    std::string reference_line;
    return DatabaseUpdateRun(buffer, db, reference_line, options);
  }
  // The database's files, its ledger included (not the lock file).
  std::map<std::string, std::string> Everything(const fs::path& db) {
    return testing::DatabaseState(db);
  }

  TempDir logs_, db_, other_;
};

TEST_F(ExactlyOnce, SameContentFoldsOnceWhateverItsNameOrPlace) {
  const std::string log = Generated(1, 600);
  WriteBytes(logs_ / "a.log", log);
  WriteBytes(logs_ / "copy-of-a.log", log);
  const UpdateSummary first = Fold(db_.path(), {"a.log"});
  EXPECT_EQ(first.lines_folded, 600u);
  const auto after_first = Everything(db_.path());
  EXPECT_NE(ReadBytes(db_ / ".ledger").find(" " + std::to_string(log.size()) + " a.log\n"),
            std::string::npos);

  // Again, renamed, twice in one buffer: nothing changes, not even the ledger.
  const UpdateSummary again = Fold(db_.path(), {"copy-of-a.log", "a.log"});
  EXPECT_EQ(again.lines_folded, 0u);
  EXPECT_EQ(again.lines_already, 1200u);
  EXPECT_EQ(again.players_changed + again.players_new, 0u);
  EXPECT_EQ(Everything(db_.path()), after_first);

  // Loaded twice into a fresh database in one run: folded once.
  Fold(other_.path(), {"a.log", "copy-of-a.log"});
  EXPECT_EQ(Everything(other_.path()), after_first);

  // Another database has its own ledger.
  TempDir third;
  EXPECT_EQ(Fold(third.path(), {"a.log"}).lines_folded, 600u);

  // --again folds everything once more and the ledger still holds one entry.
  Fold(db_.path(), {"a.log"}, /*again=*/true);
  auto deaths = [](const std::map<std::string, std::string>& files) {
    int32_t sum = 0;
    for (const auto& [name, bytes] : files)
      sum += Atoi(FieldAt(SplitFields(bytes), field::kDeaths));
    return sum;
  };
  EXPECT_GT(deaths(DatabaseContents(db_.path())), deaths(DatabaseContents(other_.path())));
  EXPECT_EQ(Ledger::Read(db_.path()).runs().size(), 1u);
}

TEST_F(ExactlyOnce, AGrownLogFoldsOnlyItsNewLines) {
  const std::string log = Generated(2, 900);
  const size_t cut = log.find('\n', log.size() / 2) + 1;  // a line end
  WriteBytes(logs_ / "current.log", log.substr(0, cut));
  const UpdateSummary first = Fold(db_.path(), {"current.log"});
  WriteBytes(logs_ / "current.log", log);
  const UpdateSummary second = Fold(db_.path(), {"current.log"});
  EXPECT_EQ(first.lines_folded + second.lines_folded, 900u);
  EXPECT_EQ(second.lines_already, first.lines_folded);

  // The same as folding the two halves as two logs.
  WriteBytes(logs_ / "first.log", log.substr(0, cut));
  WriteBytes(logs_ / "second.log", log.substr(cut));
  Fold(other_.path(), {"first.log"});
  Fold(other_.path(), {"second.log"});
  EXPECT_EQ(DatabaseContents(db_.path()), DatabaseContents(other_.path()));
  EXPECT_EQ(Ledger::Read(db_.path()).runs().size(), 1u);

  // A last line without its line end waits until it is finished.
  TempDir partial;
  const std::string kBob = "\"Bob<1><7><CT>\"";
  WriteBytes(logs_ / "p.log", LogLine("20:00:00", kBob + " entered the game\r\n") +
                                  LogLine("20:01:00", kBob + " joined team \"CT\""));
  Fold(partial.path(), {"p.log"});
  WriteBytes(logs_ / "p.log", LogLine("20:00:00", kBob + " entered the game\r\n") +
                                  LogLine("20:01:00", kBob + " joined team \"CT\"\r\n") +
                                  LogLine("20:02:00", kBob + " joined team \"CT\"\r\n"));
  const UpdateSummary grown = Fold(partial.path(), {"p.log"});
  EXPECT_EQ(grown.lines_folded, 2u);  // the finished line and the new one
  EXPECT_EQ(SplitFields(ReadBytes(partial / "7.db"))[field::kCtJoins], "2");
}

// Two scheduled runs at once: the first loads the server's current log, the
// second loads it a little later (longer) and folds it first. The first then
// holds an older state of a log folded further: nothing of it is new (the
// ledger only learns where that state ended).
TEST_F(ExactlyOnce, AnOlderStateLoadedBeforeALaterFoldAddsNothing) {
  const std::string log = Generated(7, 400);
  const size_t cut = log.find('\n', log.size() / 2) + 1;
  WriteBytes(logs_ / "current.log", log.substr(0, cut));
  LogBuffer early;
  LoadLogFile(early, logs_ / "current.log", LoadMode::kCompleteLines);
  WriteBytes(logs_ / "current.log", log);
  Fold(db_.path(), {"current.log"});
  const auto folded = Everything(db_.path());
  std::string reference_line;
  const UpdateSummary late = DatabaseUpdateRun(early, db_.path(), reference_line);
  EXPECT_EQ(late.lines_folded, 0u);
  auto without_ledger = [](std::map<std::string, std::string> files) {
    files.erase(".ledger");
    return files;
  };
  EXPECT_EQ(without_ledger(Everything(db_.path())), without_ledger(folded));
  // A different log that only shares the name is folded as usual.
  WriteBytes(logs_ / "current.log", Generated(8, 50));
  LogBuffer other;
  LoadLogFile(other, logs_ / "current.log");
  EXPECT_EQ(DatabaseUpdateRun(other, db_.path(), reference_line).lines_folded, 50u);
}

TEST_F(ExactlyOnce, DamagedLedgerStopsTheRunNamingIt) {
  WriteBytes(logs_ / "a.log", Generated(3, 50));
  WriteBytes(db_ / ".ledger", "# comment\nnot a ledger line\n");
  try {
    Fold(db_.path(), {"a.log"});
    ADD_FAILURE() << "no error";
  } catch (const FileError& error) {
    EXPECT_EQ(error.file(), db_ / ".ledger");
    EXPECT_NE(std::string(error.what()).find("Zeile 2"), std::string::npos);
  }
  EXPECT_TRUE(DatabaseContents(db_.path()).empty());
  // Names with blanks, line ends and "%" survive the ledger, and so do the
  // marks of a run's chunks; marks that do not fit their chunk are damage.
  Ledger ledger;
  ledger.AddRun(LedgerRun{{}, false, 1, "a b\n%c.log", {{7, 1}, {8, 3}}, {1, 63, 2}});
  ledger.AddRun(LedgerRun{{}, false, 1, "-", {{9, 2}}, {}});
  const std::string text = ledger.Format();
  const Ledger read = Ledger::Parse(text, "l");
  EXPECT_EQ(read.runs().front().name, "a b\n%c.log");
  EXPECT_EQ(read.runs().front().MarksOf(1), std::string({63, 2}));
  EXPECT_TRUE(read.runs().back().marks.empty());
  EXPECT_THROW(Ledger::Parse(text.substr(0, text.find(" _C")) + " _\n", "l"), FileError);
}

// The n-th write or rename fails, for every n a run has: the database is
// left as before, the error says nothing was folded (or that the next
// command completes a recorded commit), and the same run afterwards gives
// exactly the database of an uninterrupted run.
TEST_F(ExactlyOnce, EveryFailingWriteLeavesAllOrNothing) {
  WriteBytes(logs_ / "a.log", Generated(4, 400));
  WriteBytes(logs_ / "b.log", Generated(5, 300));
  Fold(db_.path(), {"a.log"});
  const auto before = Everything(db_.path());
  CopyFiles(db_.path(), other_.path());
  SetFileFault({});  // counts the writes of the uninterrupted run
  Fold(other_.path(), {"b.log"});
  const long total = FileWriteOperationsSoFar();
  const auto want = Everything(other_.path());
  ASSERT_GT(total, 10);
  const int errors[] = {ENOSPC, EACCES, EIO};
  for (long n = 1; n <= total; ++n) {
    TempDir db;
    CopyFiles(db_.path(), db.path());
    SetFileFault({n, errors[n % 3], false});
    bool recorded = false;
    try {
      Fold(db.path(), {"b.log"});
      ADD_FAILURE() << "write " << n << " did not fail";
    } catch (const CommitIncomplete&) {
      recorded = true;
    } catch (const FileError& error) {
      EXPECT_NE(std::string(error.what()).find("nichts wurde eingelesen"), std::string::npos) << n;
      EXPECT_EQ(Everything(db.path()), before) << "write " << n;
    }
    SetFileFault({});
    const UpdateSummary rerun = Fold(db.path(), {"b.log"});
    EXPECT_EQ(rerun.lines_folded == 0, recorded) << n;
    EXPECT_EQ(Everything(db.path()), want) << "write " << n;
  }
}

// A journal cut while it was written (a power loss before its sync) was
// never committed: it is dropped and the database stays as it was; a whole
// one is completed. A lock file, journal or ledger that is a symbolic link is
// refused by readers and writers alike.
TEST_F(ExactlyOnce, JournalNotWrittenWholeIsDroppedAndLinkedOnesRefused) {
  WriteBytes(logs_ / "a.log", Generated(4, 200));
  WriteBytes(logs_ / "b.log", Generated(5, 100));
  Fold(db_.path(), {"a.log"});
  const auto before = Everything(db_.path());
  const auto before_files = FolderContents(db_.path());  // the store's bytes too
  // Puts the database back as it was before the fold of b.log.
  const auto restore = [&] {
    fs::remove(db_.path() / kEventStoreJournalName);
    for (const auto& [name, bytes] : before_files) WriteBytes(db_ / name, bytes);
  };
  Fold(other_.path(), {"a.log"});
  Fold(other_.path(), {"b.log"});  // in a commit of its own, as the journal below
  const auto after = Everything(other_.path());
  // The first write that fails after the commit point leaves a whole journal.
  for (long n = 1; !fs::exists(db_ / ".commit"); ++n) {
    SetFileFault({n, EIO, false});
    EXPECT_ANY_THROW(Fold(db_.path(), {"b.log"}));
    SetFileFault({});
  }
  const std::string whole = ReadBytes(db_ / ".commit");
  const std::string zero_filled = whole.substr(0, whole.size() - 100) + std::string(100, '\0');
  for (const std::string& cut : {std::string(), whole.substr(0, whole.size() / 2),
                                 whole.substr(0, whole.size() - 1), zero_filled}) {
    restore();
    WriteBytes(db_ / ".commit", cut);
    DatabaseLock reader(db_.path(), DatabaseLock::Access::kRead);
    EXPECT_EQ(Everything(db_.path()), before) << cut.size() << " of " << whole.size();
  }
  WriteBytes(db_ / ".commit", whole);
  DatabaseLock(db_.path(), DatabaseLock::Access::kRead);
  EXPECT_EQ(Everything(db_.path()), after);
  // A whole journal of the first version (no digest) an earlier program left.
  const size_t header = whole.find('\n') + 1, end = whole.rfind("end ");
  const std::string files = whole.substr(end, whole.rfind(' ') - end);
  restore();
  WriteBytes(db_ / ".commit",
             "varnokel journal 1\n" + whole.substr(header, end - header) + files + "\n");
  DatabaseLock(db_.path(), DatabaseLock::Access::kWrite);
  EXPECT_EQ(Everything(db_.path()), after);

  WriteBytes(other_ / "elsewhere", "");
  for (const char* name : {".lock", ".commit", ".commit-pending", ".ledger"}) {
    TempDir db;
    fs::create_symlink(other_ / "elsewhere", db / name);
    for (const auto access : {DatabaseLock::Access::kRead, DatabaseLock::Access::kWrite}) {
      try {
        DatabaseLock lock(db.path(), access);
        ADD_FAILURE() << name << " taken";
      } catch (const FileError& error) {
        EXPECT_EQ(error.file(), db / name);
      }
    }
  }
}

TEST_F(ExactlyOnce, SymbolicLinksAreNoPlayers) {
  WriteBytes(other_ / "secret.txt", "root:x:0:0\n");
  fs::create_symlink(other_ / "secret.txt", db_ / "evil.db");
  WriteBytes(db_ / "real.db", "real\r\n");
  testing::AddEmptyStore(db_.path());
  EXPECT_EQ(ListPlayers(db_.path()), std::vector<std::string>{"real.db"});
  EXPECT_THROW(ReadPlayerDetails(db_.path(), "evil.db"), FileError);
  WriteBytes(logs_ / "a.log", LogLine("20:00:00", "\"E<1><evil><>\" entered the game\r\n"));
  try {
    Fold(db_.path(), {"a.log"});
    ADD_FAILURE() << "no error";
  } catch (const UpdateStopped& stopped) {
    EXPECT_EQ(stopped.file(), db_ / "evil.db");
    EXPECT_EQ(stopped.line_number(), 1u);
  }
  EXPECT_EQ(ReadBytes(other_ / "secret.txt"), "root:x:0:0\n");
  DeleteDatabase(db_.path());  // removes the link, not what it points to
  EXPECT_FALSE(fs::exists(fs::symlink_status(db_ / "evil.db")));
  EXPECT_TRUE(fs::exists(other_ / "secret.txt"));
}

// A run stopped by an unreadable player file keeps the lines before it; once
// the cause is gone the same command folds the rest, each line once. The log
// is long enough to be analysed in several pieces at once.
// An id that would make a hidden file (".x.db", ".db") is passed over: no
// file outlives a deletion of the database while the ledger goes with it, so
// the same log folded again counts nothing twice.
TEST_F(ExactlyOnce, HiddenIdsLeaveNothingBehindADeletion) {
  WriteBytes(logs_ / "a.log", LogLine("20:00:00", "\"A<1><.x><CT>\" joined team \"CT\"\r\n") +
                                  LogLine("20:00:01", "\"B<2><><CT>\" joined team \"CT\"\r\n") +
                                  LogLine("20:00:02", "\"C<3><c><CT>\" joined team \"CT\"\r\n"));
  for (int fold = 0; fold < 2; ++fold) {
    EXPECT_EQ(Fold(db_.path(), {"a.log"}).lines_unreadable, 2u);
    EXPECT_EQ(DatabaseContents(db_.path()).size(), 1u);
    EXPECT_EQ(SplitFields(ReadBytes(db_ / "c.db"))[field::kCtJoins], "1");
    DeleteDatabase(db_.path());
    EXPECT_TRUE(DatabaseContents(db_.path()).empty());
  }
}

TEST_F(ExactlyOnce, StoppedRunResumesAfterTheFix) {
  const std::string kA = "\"A<1><a><CT>\"", kB = "\"B<2><b><TERRORIST>\"";
  constexpr size_t kBefore = 60000;  // lines before B's, over 3 MB
  std::string log;
  for (size_t i = 0; i < kBefore; ++i) log += LogLine("20:00:00", kA + " joined team \"CT\"\r\n");
  log += LogLine("20:00:02", kB + " joined team \"CT\"\r\n") +
         LogLine("20:00:03", kA + " joined team \"CT\"\r\n");
  ASSERT_GT(log.size(), size_t{3} << 20);
  WriteBytes(logs_ / "a.log", log);
  fs::create_directory(db_ / "b.db");
  try {
    Fold(db_.path(), {"a.log"});
    ADD_FAILURE() << "no error";
  } catch (const UpdateStopped& stopped) {
    EXPECT_EQ(stopped.line_number(), kBefore + 1);
    EXPECT_EQ(stopped.lines_folded(), kBefore);
    EXPECT_EQ(stopped.log_name(), "a.log");
  }
  EXPECT_EQ(SplitFields(ReadBytes(db_ / "a.db"))[field::kCtJoins], std::to_string(kBefore));
  fs::remove(db_ / "b.db");
  const UpdateSummary rest = Fold(db_.path(), {"a.log"});
  EXPECT_EQ(rest.lines_already, kBefore);
  EXPECT_EQ(SplitFields(ReadBytes(db_ / "a.db"))[field::kCtJoins], std::to_string(kBefore + 1));
  EXPECT_TRUE(fs::exists(db_ / "b.db"));
}

TEST_F(ExactlyOnce, FolderIntakeTakesNewCompleteLinesOldestFirst) {
  loggen::LogGenOptions later;
  later.lines = 40;
  later.day = 20;
  loggen::LogGenOptions earlier = later;
  earlier.seed = 9;
  earlier.day = 10;
  WriteBytes(logs_ / "a.log", loggen::GenerateLog(later));
  WriteBytes(logs_ / "B.LOG", loggen::GenerateLog(earlier));
  WriteBytes(logs_ / "notes.txt", "not a log");
  WriteBytes(logs_ / "z.log", "no date here\n");
  const std::string growing = Generated(6, 30);
  WriteBytes(logs_ / "live.log", growing + "L 03/15/2003 - 20:14:07: \"half a li");
  fs::create_directory(logs_ / "dir.log");

  NewLogs found = FindNewLogs(logs_.path(), Ledger());
  std::vector<fs::path> order;
  for (const fs::path& file : found.files) order.push_back(file.filename());
  EXPECT_EQ(order, (std::vector<fs::path>{"B.LOG", "live.log", "a.log", "z.log"}));

  LogBuffer buffer;
  for (const fs::path& file : found.files) LoadLogFile(buffer, file, LoadMode::kCompleteLines);
  EXPECT_EQ(buffer.LogText(buffer.logs()[1]), growing.substr(0, growing.size() - 2));
  std::string reference_line;
  DatabaseUpdateRun(buffer, db_.path(), reference_line);

  found = FindNewLogs(logs_.path(), Ledger::Read(db_.path()));
  EXPECT_TRUE(found.files.empty());
  EXPECT_EQ(found.wholly_folded, 4u);
  WriteBytes(logs_ / "live.log", growing + LogLine("20:14:07", "\"half a line\r\n"));
  found = FindNewLogs(logs_.path(), Ledger::Read(db_.path()));
  ASSERT_EQ(found.files.size(), 1u);
  EXPECT_EQ(found.files.front().filename(), "live.log");
  EXPECT_THROW(FindNewLogs(logs_ / "missing", Ledger()), FileError);
}

}  // namespace
}  // namespace varnokel
