// SPDX-License-Identifier: GPL-3.0-or-later
// Folding the day files while they grow: the ledger the folder keeps from one
// fold to the next gives way to what another writer folded meanwhile.
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

TEST(DayFileFolder, LinesAnotherWriterFoldedBetweenFoldsAreNotFoldedAgain) {
  TempDir logs, db;
  loggen::LogGenOptions options;
  options.lines = 800;
  options.players = 12;
  const std::string log = loggen::GenerateLog(options);
  const size_t cut = log.find('\n', log.size() / 2) + 1;
  fs::create_directories(logs / kSender);
  WriteBytes(logs / kDayFile, log.substr(0, cut));

  DayFileFolder folder(logs.path(), db.path());
  std::string reference_line;
  folder.Grown({kDayFile});
  const size_t first = folder.Fold(LockWait::kWait, reference_line).lines_folded;
  EXPECT_GT(first, 0u);

  // The whole day file, folded by another writer (an update run of its own).
  WriteBytes(logs / kDayFile, log);
  LogBuffer buffer;
  LoadLogFile(buffer, logs / kDayFile);
  EXPECT_EQ(DatabaseUpdateRun(buffer, db.path(), reference_line).lines_folded,
            options.lines - first);

  // The folder's next fold finds every line in the ledger on disk.
  folder.Grown({kDayFile});
  EXPECT_EQ(folder.Fold(LockWait::kWait, reference_line).lines_folded, 0u);
  EXPECT_FALSE(folder.HasWork());
}

}  // namespace
}  // namespace varnokel
