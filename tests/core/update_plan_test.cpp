// SPDX-License-Identifier: GPL-3.0-or-later
// Folding a log that grows, part by part, from a known hashed beginning.
#include "db/update_plan.h"

#include <gtest/gtest.h>

#include "db/database_lock.h"
#include "db/ledger.h"
#include "db/update_run.h"
#include "log/log_buffer.h"
#include "tests/core/store_support.h"
#include "tests/core/test_support.h"
#include "tools/loggen/log_generator.h"

namespace varnokel {
namespace {

namespace fs = std::filesystem;
using testing::DatabaseContents;
using testing::LogLine;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

// A reader of one growing log, as the listener keeps one per day file.
struct GrowingLog {
  explicit GrowingLog(fs::path path) : file(std::move(path)) {}

  fs::path file;
  LogStart start;

  // Folds what the file holds beyond what is folded into `db`; returns the
  // lines the run folded. The state moves on only when the run went through.
  size_t FoldNew(const fs::path& db) {
    LogBuffer buffer;
    if (!buffer.AppendFilePart(file, start.skipped, "g.log")) return 0;
    const DatabaseLock lock(db, DatabaseLock::Access::kWrite);
    const UpdatePlan plan = PlanUpdate(buffer, {&start, 1}, Ledger::Read(db));
    std::string reference_line;
    const UpdateSummary summary = DatabaseUpdateRun(lock, buffer, plan, reference_line);
    start = NextStart(plan.logs.front(), start);
    return summary.lines_folded;
  }
};

// The ledger of `db` as it reads without its chunks' marks (a growing log
// read on from where it was folded keeps none, as the listener's day files).
std::string LedgerWithoutMarks(const fs::path& db) {
  const Ledger read = Ledger::Read(db);
  Ledger unmarked;
  for (LedgerRun run : read.runs()) {
    run.marks.clear();
    unmarked.AddRun(std::move(run));
  }
  for (const PrefixEntry& entry : read.prefixes()) unmarked.AddPrefix(entry);
  return unmarked.Format();
}

// Folds the file whole, as --load and --update do.
void FoldWhole(const fs::path& file, const fs::path& db) {
  LogBuffer buffer;
  buffer.AppendFile(file, LoadMode::kCompleteLines);
  std::string reference_line;
  DatabaseUpdateRun(buffer, db, reference_line);
}

TEST(GrowingLog, FoldedInPartsAsIfWhole) {
  loggen::LogGenOptions options;
  options.lines = 1200;
  const std::string log = loggen::GenerateLog(options);
  const size_t first = log.find('\n', log.size() / 3) + 1, second = log.find('\n', log.size() / 2);
  TempDir dir, parts, whole;
  GrowingLog growing(dir / "g.log");
  WriteBytes(growing.file, log.substr(0, first) + "L 03/15/20");  // an incomplete last line
  const size_t lines_first = growing.FoldNew(parts.path());
  WriteBytes(growing.file, log.substr(0, second));  // ends inside the line it cut before
  const size_t lines_second = growing.FoldNew(parts.path());
  EXPECT_EQ(growing.FoldNew(parts.path()), 0u);  // nothing new
  WriteBytes(growing.file, log);
  const size_t lines_third = growing.FoldNew(parts.path());
  EXPECT_EQ(lines_first + lines_second + lines_third, options.lines);

  WriteBytes(dir / "g.log", log);
  FoldWhole(dir / "g.log", whole.path());
  EXPECT_EQ(DatabaseContents(parts.path()), DatabaseContents(whole.path()));
  EXPECT_EQ(ReadBytes(parts / ".ledger"), LedgerWithoutMarks(whole.path()));
  // The event store gives each line its map, though a part holds no map line
  // before its first.
  const char* const kByMap = "SELECT * FROM spieler_tage ORDER BY 1, 2, 3, 4";
  EXPECT_EQ(testing::StoreRows(parts.path(), kByMap), testing::StoreRows(whole.path(), kByMap));

  // Folded further meanwhile (the whole file by hand): the part adds nothing.
  TempDir ahead;
  GrowingLog behind(dir / "g.log");
  WriteBytes(behind.file, log.substr(0, first));
  behind.FoldNew(ahead.path());
  WriteBytes(behind.file, log);
  FoldWhole(behind.file, ahead.path());
  EXPECT_EQ(behind.FoldNew(ahead.path()), 0u);
  EXPECT_EQ(DatabaseContents(ahead.path()), DatabaseContents(whole.path()));

  // A database emptied meanwhile: only what is new is folded into it.
  TempDir elsewhere, emptied;
  GrowingLog after_delete(dir / "g.log");
  WriteBytes(after_delete.file, log.substr(0, first));
  after_delete.FoldNew(elsewhere.path());
  WriteBytes(after_delete.file, log);
  EXPECT_EQ(after_delete.FoldNew(emptied.path()), options.lines - lines_first);
}

TEST(GrowingLog, RunStoppedInAPartGoesOnFromTheFailingLine) {
  const std::string bob = "\"Bob<12><4711><CT>\"", ann = "\"Ann<3><100><TERRORIST>\"";
  const std::string beginning = LogLine("20:00:00", bob + " entered the game") + "\r\n";
  const std::string joined = LogLine("20:00:30", bob + " joined team \"CT\"") + "\r\n";
  const std::string part = joined + LogLine("20:01:00", ann + " entered the game") + "\r\n" +
                           LogLine("20:02:00", ann + " killed " + bob + " with \"ak47\"") + "\r\n" +
                           LogLine("20:30:00", bob + " disconnected") + "\r\n";
  TempDir dir, db, whole;
  GrowingLog growing(dir / "g.log");
  WriteBytes(growing.file, beginning);
  growing.FoldNew(db.path());
  WriteBytes(growing.file, beginning + part);
  fs::create_directory(db / "100.db");  // Ann's file cannot be read: the run stops
  EXPECT_THROW(growing.FoldNew(db.path()), UpdateStopped);
  const Ledger stopped = Ledger::Read(db.path());
  ASSERT_EQ(stopped.runs().size(), 1u);
  EXPECT_EQ(stopped.runs()[0].size, beginning.size() + joined.size());

  fs::remove(db / "100.db");
  EXPECT_EQ(growing.FoldNew(db.path()), 3u);
  WriteBytes(dir / "w.log", beginning + part);
  FoldWhole(dir / "w.log", whole.path());
  EXPECT_EQ(DatabaseContents(db.path()), DatabaseContents(whole.path()));
}

}  // namespace
}  // namespace varnokel
