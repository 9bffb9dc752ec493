// SPDX-License-Identifier: GPL-3.0-or-later
// Folding the day files while they grow: the ledger the folder keeps from one
// fold to the next, and the player files, give way to what another writer
// folded meanwhile.
#include "listen/day_file_folder.h"

#include <gtest/gtest.h>

#include "db/update_run.h"
#include "log/log_buffer.h"
#include "tests/core/test_support.h"
#include "tests/listen/listen_support.h"
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

// Two servers that start their logs in the same second write the same first
// lines (counted once); every other line of the second is its own, also when
// its day file is read while the first part of it ends just after those.
TEST(DayFileFolder, ServersStartingInTheSameSecondKeepTheirOwnLines) {
  TempDir logs, db, alone;
  auto generated = [](uint64_t seed, int first_player) {
    loggen::LogGenOptions options;
    options.seed = seed;
    options.lines = 600;
    options.players = 10;
    options.first_player = first_player;
    return testing::LinesOf(loggen::GenerateLog(options));
  };
  const std::vector<std::string> first = generated(1, 0);
  std::vector<std::string> second = generated(2, 100);
  std::copy(first.begin(), first.begin() + 6, second.begin());
  auto day_file = [&](const std::string& sender, const std::vector<std::string>& lines, size_t n) {
    fs::create_directories(logs / sender);
    std::string text;
    for (size_t i = 0; i < n; ++i) text += lines[i] + "\r\n";
    WriteBytes(logs / sender / "L20030315.log", text);
    return sender + "/L20030315.log";
  };
  DayFileFolder folder(logs.path(), db.path());
  std::string reference_line;
  folder.Grown({day_file("192.0.2.1_27015", first, first.size())});
  folder.Fold(LockWait::kWait, reference_line);
  for (const size_t n : {8, 40, 600}) {
    folder.Grown({day_file("192.0.2.2_27015", second, n)});
    folder.Fold(LockWait::kWait, reference_line);
  }
  folder.SettleJournal();

  LogBuffer buffer;
  LoadLogFile(buffer, logs / "192.0.2.2_27015/L20030315.log");
  DatabaseUpdateRun(buffer, alone.path(), reference_line);
  const auto folded = testing::DatabaseContents(db.path());
  for (const auto& [name, bytes] : testing::DatabaseContents(alone.path())) {
    if (name == "BOT.db") continue;  // the bots play on both
    ASSERT_TRUE(folded.contains(name)) << name;
    EXPECT_EQ(folded.at(name), bytes) << name;
  }
}

}  // namespace
}  // namespace varnokel
