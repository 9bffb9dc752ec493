// SPDX-License-Identifier: GPL-3.0-or-later
// Folding the day files while they grow: the ledger the folder keeps from one
// fold to the next, and the player files, give way to what another writer
// folded meanwhile.
#include "listen/day_file_folder.h"

#include <gtest/gtest.h>

#include "db/update_run.h"
#include "log/log_buffer.h"
#include "tests/core/test_support.h"
#include "tools/loggen/log_generator.h"

namespace varnokel {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteBytes;

constexpr const char* kSender = "192.0.2.7_27015";
constexpr const char* kDayFile = "192.0.2.7_27015/L20030315.log";

// The folder keeps the ledger and the player files from one fold to the
// next; another writer's fold in between makes it read both again, so that
// its lines are not folded twice and its counts are not overwritten.
TEST(DayFileFolder, AnotherWriterBetweenFoldsIsNeitherRepeatedNorOverwritten) {
  TempDir logs, db, one_run;
  loggen::LogGenOptions options;
  options.lines = 1200;
  options.players = 12;
  const std::string log = loggen::GenerateLog(options);
  const size_t first_cut = log.find('\n', log.size() / 3) + 1;
  const size_t second_cut = log.find('\n', 2 * log.size() / 3) + 1;
  fs::create_directories(logs / kSender);
  WriteBytes(logs / kDayFile, log.substr(0, first_cut));

  DayFileFolder folder(logs.path(), db.path());
  std::string reference_line;
  folder.Grown({kDayFile});
  const size_t first = folder.Fold(LockWait::kWait, reference_line).lines_folded;
  EXPECT_GT(first, 0u);

  // The day file up to the second cut, folded by another writer (an update run of its own).
  WriteBytes(logs / kDayFile, log.substr(0, second_cut));
  LogBuffer buffer;
  LoadLogFile(buffer, logs / kDayFile);
  std::string other_reference;
  const size_t second = DatabaseUpdateRun(buffer, db.path(), other_reference).lines_folded;
  EXPECT_GT(second, 0u);

  // The folder's next fold finds those lines in the ledger on disk and
  // adds the rest to the player files as the other writer left them.
  WriteBytes(logs / kDayFile, log);
  folder.Grown({kDayFile});
  EXPECT_EQ(folder.Fold(LockWait::kWait, reference_line).lines_folded,
            options.lines - first - second);
  EXPECT_FALSE(folder.HasWork());
  folder.SettleJournal();
  LogBuffer whole;
  LoadLogFile(whole, logs / kDayFile);
  DatabaseUpdateRun(whole, one_run.path(), other_reference);
  EXPECT_EQ(testing::DatabaseContents(db.path()), testing::DatabaseContents(one_run.path()));
}

}  // namespace
}  // namespace varnokel
