#include "db/update_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <random>

#include "base/text_lines.h"
#include "db/player_file.h"
#include "log/log_buffer.h"
#include "tests/core/store_support.h"
#include "tests/core/test_support.h"
#include "tests/core/update_reference.h"
#include "tools/loggen/log_generator.h"

namespace varnokel {
namespace {

namespace fs = std::filesystem;
using testing::DatabaseContents;
using testing::LogLine;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

using RunFn = std::function<void(const LogBuffer&, const fs::path&, std::string&)>;

// The cached run folding the whole buffer at every call, as the reference
// run does (the ledger's part is tested on its own).
void CachedRun(const LogBuffer& buffer, const fs::path& dir, std::string& reference_line) {
  UpdateOptions options;
  options.again = true;
  DatabaseUpdateRun(buffer, dir, reference_line, options);
}

LogBuffer BufferOf(const std::string& log) {
  LogBuffer buffer;
  buffer.Append(LogContribution(log));
  return buffer;
}

std::string Join(const std::vector<std::string>& lines, std::string_view end = "\r\n") {
  std::string text;
  for (const std::string& line : lines) text += line + std::string(end);
  return text;
}

std::string Counts(int count, std::string_view value = "0") {
  std::string bytes;
  for (int i = 0; i < count; ++i) bytes += std::string(value) + "\r\n";
  return bytes;
}

const std::string kBob = "\"Bob<12><4711><CT>\"";
const std::string kAnn = "\"Ann<3><100><TERRORIST>\"";
const std::vector<std::string> kEvening = {
    LogLine("20:00:00", kBob + " entered the game"),
    LogLine("20:01:00", kBob + " joined team \"CT\""),
    LogLine("20:10:00", kBob + " killed " + kAnn + " with \"ak47\""),
    LogLine("20:30:00", kBob + " disconnected"),
};

// Both runs, so that every expectation holds for the cached run and for the
// straightforward one it is measured against.
class UpdateRun : public ::testing::TestWithParam<bool> {
 protected:
  void Run(const std::string& log) {
    LogBuffer buffer = BufferOf(log);
    RunBuffer(buffer);
  }
  void RunBuffer(const LogBuffer& buffer) {
    if (GetParam()) {
      CachedRun(buffer, db_.path(), reference_line_);
    } else {
      DatabaseUpdateRunReference(buffer, db_.path(), reference_line_);
    }
  }
  std::string File(const std::string& name) { return ReadBytes(db_ / name); }

  TempDir db_;
  std::string reference_line_;
};

TEST_P(UpdateRun, EveningOfOnePlayerGivesExactFiles) {
  Run(Join(kEvening));
  EXPECT_EQ(reference_line_, kEvening[1]);
  const std::string ann_head = "100\r\n03/15/2003\r\n20:01:00\r\nUnknown\r\n";
  EXPECT_EQ(File("100.db"), ann_head + Counts(2) + Counts(1, "1") + Counts(37));
  const std::string bob = "4711\r\n03/15/2003\r\n20:00:00\r\nBob\r\n" + Counts(1, "1") + Counts(2) +
                          Counts(1, "1") + Counts(10) + "03/15/2003\r\n1800\r\n" + Counts(13) +
                          Counts(1, "1") + Counts(10) + "130";
  EXPECT_EQ(File("4711.db"), bob);
  EXPECT_EQ(DatabaseContents(db_.path()).size(), 2u);

  Run(Join(kEvening));  // the same log again doubles the counts
  EXPECT_EQ(File("4711.db"), "4711\r\n03/15/2003\r\n20:00:00\r\nBob\r\n" + Counts(1, "2") +
                                 Counts(2) + Counts(1, "2") + Counts(10) +
                                 "03/15/2003\r\n3600\r\n" + Counts(13) + Counts(1, "2") +
                                 Counts(10) + "260");
  EXPECT_EQ(File("100.db"), ann_head + Counts(2) + Counts(1, "2") + Counts(37));
}

TEST_P(UpdateRun, FirstEventOfAnUnseenPlayerCounts) {
  // A killer and a victim never seen entering, and a team join before the
  // entry: each file is created by its first event, and that event counts.
  Run(Join({LogLine("20:10:00", kAnn + " killed " + kBob + " with \"ak47\""),
            LogLine("20:11:00", "\"Cy<5><77><>\" joined team \"TERRORIST\""),
            LogLine("20:12:00", "\"Cy<5><77><>\" entered the game")}));
  const std::string unknown = "\r\n03/15/2003\r\n20:11:00\r\nUnknown\r\n";
  EXPECT_EQ(File("100.db"), "100" + unknown + Counts(3) + Counts(1, "1") + Counts(25) +
                                Counts(1, "1") + Counts(10));
  EXPECT_EQ(File("4711.db"), "4711" + unknown + Counts(2) + Counts(1, "1") + Counts(37));
  EXPECT_EQ(File("77.db"),
            "77\r\n03/15/2003\r\n20:12:00\r\nCy\r\n" + Counts(1) + Counts(1, "1") + Counts(38));
}

TEST_P(UpdateRun, NewerEngineEveningGivesExactFiles) {
  const std::string sas = "\"Sas<2><[U:1:6318168]>";
  Run(Join(
      {"03/15/2003 - 20:00:00.000 - " + sas + "<>\" entered the game",
       "03/15/2003 - 20:00:05.125 - " + sas + "\" switched from team <Unassigned> to <TERRORIST>",
       "03/15/2003 - 20:01:00.500 - " + sas + "<TERRORIST>\" [10 20 -30] killed " + kAnn +
           " [-1 2 3] with \"elite\" (headshot)",
       "03/15/2003 - 20:02:00.000 - " + sas +
           "<TERRORIST>\" triggered \"Planted_The_Bomb\" at bombsite B",
       "03/15/2003 - 20:30:00.999 - " + sas +
           "<TERRORIST>\" disconnected (reason \"Disconnect\")"}));
  EXPECT_EQ(File("[U:1:6318168].db"),
            "[U:1:6318168]\r\n03/15/2003\r\n20:00:00\r\nSas\r\n" + Counts(1) + Counts(1, "1") +
                Counts(1) + Counts(1, "1") + Counts(5) + Counts(1, "1") + Counts(4) +
                "03/15/2003\r\n1800\r\n" + Counts(4) + Counts(1, "1") + Counts(19) + "220");
  EXPECT_EQ(File("100.db"), "100\r\n03/15/2003\r\n20:01:00\r\nUnknown\r\n" + Counts(2) +
                                Counts(1, "1") + Counts(37));
  EXPECT_EQ(DatabaseContents(db_.path()).size(), 2u);
}

TEST_P(UpdateRun, BareLineFeedsGiveTheSameStatistics) {
  Run(Join(kEvening, "\n"));
  std::map<std::string, std::string> lf = DatabaseContents(db_.path());
  for (const auto& [name, bytes] : lf) fs::remove(db_ / name);
  Run(Join(kEvening));
  EXPECT_EQ(DatabaseContents(db_.path()), lf);
  // The last line counts also without any line end.
  for (const auto& [name, bytes] : lf) fs::remove(db_ / name);
  std::string log = Join(kEvening);
  Run(log.substr(0, log.size() - 2));
  EXPECT_EQ(DatabaseContents(db_.path()), lf);
}

TEST_P(UpdateRun, PlayTimeAcrossMidnightAndDays) {
  auto session = [&](const std::string& enter_date, const std::string& enter_time,
                     const std::string& leave_date, const std::string& leave_time) {
    fs::remove(db_ / "7.db");
    Run(Join({LogLine(enter_time, "\"P<1><7><>\" entered the game", enter_date),
              LogLine(leave_time, "\"P<1><7><>\" disconnected", leave_date)}));
    return SplitFields(File("7.db"))[field::kPlayTime];
  };
  EXPECT_EQ(session("03/15/2003", "23:30:00", "03/16/2003", "00:30:00"), "3600");
  EXPECT_EQ(session("12/31/2003", "23:59:59", "01/01/2004", "00:00:01"), "2");
  // Up to a whole day counts; longer counts 0 (the logs between were not loaded).
  EXPECT_EQ(session("03/15/2003", "20:00:00", "03/16/2003", "20:00:00"), "86400");
  EXPECT_EQ(session("03/15/2003", "20:00:00", "03/16/2003", "20:00:01"), "0");
  EXPECT_EQ(session("03/15/2003", "20:00:00", "03/17/2003", "20:00:05"), "0");
  EXPECT_EQ(session("02/28/2004", "12:00:00", "02/29/2004", "12:00:00"), "86400");  // leap day
  EXPECT_EQ(session("02/28/2004", "12:00:00", "03/01/2004", "11:59:59"), "0");
  // Not both dates valid: the times alone, a day added when negative.
  EXPECT_EQ(session("13/40/2003", "23:30:00", "03/16/2003", "00:30:00"), "3600");
  EXPECT_EQ(session("03/15/2003", "20:00:00", "03-15-2003", "20:10:00"), "600");
  // A session that ends before it began never lowers the total.
  EXPECT_EQ(session("03/16/2003", "20:00:00", "03/15/2003", "20:00:00"), "0");
}

TEST_P(UpdateRun, CountsOfAnyShapeGoUpByOne) {
  const std::vector<std::pair<std::string, std::string>> counts = {
      {"0", "1"},   {"9", "10"}, {"999999999", "1000000000"}, {"09", "10"}, {"-3", "-2"},
      {" 7x", "8"}, {"", "1"},   {"2147483647", "2147483647"}};
  testing::AddEmptyStore(db_.path());
  for (const auto& [before, after] : counts) {
    WriteBytes(db_ / "100.db",
               "100\r\nd\r\nt\r\nAnn\r\n" + Counts(2) + Counts(1, before) + Counts(37));
    Run(Join({LogLine("20:10:00", kBob + " killed " + kAnn + " with \"ak47\"")}));
    EXPECT_EQ(SplitFields(File("100.db"))[field::kDeaths], after) << "from \"" << before << "\"";
  }
}

TEST_P(UpdateRun, DisconnectWithoutFileIsSkipped) {
  Run(Join({LogLine("20:00:00", "\"Drop<1><999><>\" disconnected"), kEvening[0], kEvening[3]}));
  EXPECT_FALSE(fs::exists(db_ / "999.db"));
  EXPECT_EQ(SplitFields(File("4711.db"))[field::kPlayTime], "1800");
}

TEST_P(UpdateRun, LineWhoseScanWouldNotEndHasNoEffect) {
  // A kill whose killer scan finds no "><" before the kill marker: the death
  // of the victim is not counted either.
  Run(Join({LogLine("20:00:00", "\"B<1><2><T>\" entered the game"),
            LogLine("20:00:01", "\"x>\" killed \"B<1><2><T>\" with \"awp\""),
            LogLine("20:00:01", "Bob joined team \"CT\"")}));
  EXPECT_EQ(File("2.db"), "2\r\n03/15/2003\r\n20:00:00\r\nB\r\n" + Counts(39) + "0");
  EXPECT_EQ(DatabaseContents(db_.path()).size(), 1u);
}

TEST_P(UpdateRun, HostileNamesAndIdsStayInsideTheDatabase) {
  // An empty id or one with a dot at its start would make a hidden file that
  // no listing, page or deletion sees: such a line is passed over.
  Run(Join({LogLine("20:00:00", "\"Evil\"<b>\"<1><..><>\" entered the game"),
            LogLine("20:00:01", "\"x<1><><CT>\" joined team \"CT\""),
            LogLine("20:00:02", "\"<script>\"<2><.x><>\" entered the game"),
            LogLine("20:00:03", "\"<script>\"<2><ok><>\" killed \"y<3><.><>\" with \"awp\""),
            LogLine("20:00:04", "\"Evil\"<b>\"<4><e><>\" entered the game")}));
  EXPECT_EQ(File("e.db"), "e\r\n03/15/2003\r\n20:00:04\r\nEvil\"<b>\"\r\n" + Counts(39) + "0");
  EXPECT_EQ(DatabaseContents(db_.path()).size(), 1u);  // no hidden file beside it
  fs::remove(db_ / "e.db");

  // A line naming an id that can name no file ("/", too long) is passed over
  // whole, also its other player; the run goes on.
  std::string log =
      Join({LogLine("21:00:00", "\"A<1><good><>\" entered the game"),
            LogLine("21:00:01", "\"B<2><../../evil><>\" entered the game"),
            LogLine("21:00:01", "\"A<1><good><>\" killed \"B<2><../evil><>\" with \"awp\""),
            LogLine("21:00:01", "\"B<2><" + std::string(252, 'i') + "><>\" entered the game"),
            LogLine("21:00:02", "\"C<3><late><>\" entered the game")});
  Run(log);
  EXPECT_EQ(File("good.db"), "good\r\n03/15/2003\r\n21:00:00\r\nA\r\n" + Counts(39) + "0");
  EXPECT_TRUE(fs::exists(db_ / "late.db"));
  EXPECT_FALSE(fs::exists(db_.path().parent_path().parent_path() / "evil.db"));
  EXPECT_EQ(DatabaseContents(db_.path()).size(), 2u);
}

TEST_P(UpdateRun, HugeLinesEmptyLogsAndNulBytes) {
  const std::string huge_name(1 << 20, 'n');
  Run(Join({LogLine("20:00:00", "\"" + huge_name + "<1><big><>\" entered the game"),
            LogLine("20:00:01", std::string(1 << 20, 'x') + " disconnected")}));
  EXPECT_EQ(File("big.db"),
            "big\r\n03/15/2003\r\n20:00:00\r\n" + huge_name + "\r\n" + Counts(39) + "0");
  EXPECT_EQ(DatabaseContents(db_.path()).size(), 1u);

  reference_line_ = "old";
  Run("");
  EXPECT_EQ(reference_line_, "");
  EXPECT_EQ(DatabaseContents(db_.path()).size(), 1u);

  // Each NUL run ends the line it cuts, as a line end would (mid-line,
  // between lines, at the end); the text after it is read on.
  const std::string nul_log =
      LogLine("20:00:00", "\"A<1><nul><>\" entered the ga") + std::string(4, '\0') +
      LogLine("20:00:01", kBob + " entered the game") + "\r\n" + std::string(3, '\0') +
      LogLine("20:00:02", "\"C<3><c><>\" entered the game") + "\r" + std::string(2, '\0');
  Run(nul_log);
  EXPECT_FALSE(fs::exists(db_ / "nul.db"));
  EXPECT_EQ(SplitFields(File("4711.db"))[field::kEnterTime], "20:00:01");
  EXPECT_EQ(SplitFields(File("c.db"))[field::kName], "C");
  if (GetParam()) {
    TempDir other;
    std::string reference_line;
    EXPECT_EQ(DatabaseUpdateRun(BufferOf(nul_log), other.path(), reference_line).lines_unreadable,
              3u);
  }
}

TEST_P(UpdateRun, UnwritableFileStopsTheRun) {
  fs::create_directory(db_ / "4711.db");
  EXPECT_THROW(Run(Join(kEvening)), FileError);
  EXPECT_FALSE(fs::exists(db_ / "100.db"));  // the failing line was the first

  // A folder met as the killer in the middle: the line before is folded,
  // nothing of the kill line (not even the victim's death) nor after it.
  TempDir other;
  fs::create_directory(other / "100.db");
  LogBuffer buffer =
      BufferOf(Join({kEvening[0], LogLine("20:10:00", kAnn + " killed " + kBob + " with \"ak47\""),
                     kEvening[3]}));
  std::string reference_line;
  if (GetParam()) {
    EXPECT_THROW(CachedRun(buffer, other.path(), reference_line), FileError);
  } else {
    EXPECT_THROW(DatabaseUpdateRunReference(buffer, other.path(), reference_line), FileError);
  }
  EXPECT_EQ(ReadBytes(other / "4711.db"),
            "4711\r\n03/15/2003\r\n20:00:00\r\nBob\r\n" + Counts(39) + "0");
}

INSTANTIATE_TEST_SUITE_P(CachedAndReference, UpdateRun, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Cached" : "Reference"; });

TEST(UpdateRunStatus, TextNamesTheDatabase) {
  EXPECT_EQ(UpdateDoneStatus("3"), " Datenbank 3 fertig...");
  std::string status = "Logfile fertig...";
  status += UpdateDoneStatus("3");
  EXPECT_EQ(status, "Logfile fertig... Datenbank 3 fertig...");
}

TEST(UpdateRunStatus, ProgressReachesTheEnd) {
  TempDir db;
  std::string reference_line;
  size_t last_done = 0, last_total = 0;
  UpdateOptions options;
  options.progress = [&](size_t done, size_t total) {
    last_done = done;
    last_total = total;
  };
  DatabaseUpdateRun(BufferOf(Join(kEvening)), db.path(), reference_line, options);
  EXPECT_EQ(last_done, 4u);
  EXPECT_EQ(last_total, 4u);
}

// A realistic evening across midnight: the files must match the ones kept in
// tests/core/data, which were checked when they were made.
TEST(UpdateRunGolden, RealisticLogGivesTheStoredFiles) {
  const fs::path data = fs::path(VARNOKEL_SOURCE_DIR) / "tests/core/data/realistic";
  LogBuffer buffer;
  LoadLogFile(buffer, data / "evening.log");
  TempDir db;
  std::string reference_line;
  DatabaseUpdateRun(buffer, db.path(), reference_line);
  std::map<std::string, std::string> produced = DatabaseContents(db.path());
  if (std::getenv("VARNOKEL_WRITE_GOLDEN") != nullptr) {
    for (const auto& [name, bytes] : produced) WriteBytes(data / "expected" / name, bytes);
  }
  EXPECT_EQ(produced, DatabaseContents(data / "expected"));
}

// A server that lets nobody on still gives a log of the asked length, and it
// names no player.
TEST(UpdateRunGolden, GeneratedLogWithNobodyOnline) {
  loggen::LogGenOptions options;
  options.lines = 200;
  options.players = 5;
  options.max_online = 0;
  std::string log = loggen::GenerateLog(options);
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 200);
  TempDir db;
  std::string reference_line;
  DatabaseUpdateRun(BufferOf(log), db.path(), reference_line);
  EXPECT_TRUE(DatabaseContents(db.path()).empty());
}

// A log of several stretches (the run analyses about a megabyte at a time on
// each thread) from many players, one of its lines ending exactly where the
// first stretch reaches its size: folded as the reference folds it.
TEST(UpdateRunStretches, ManyPlayersOverSeveralStretchesAsTheReference) {
  constexpr size_t kStretchBytes = 1 << 20;  // as the run cuts them
  constexpr size_t kPlayers = 600;
  constexpr size_t kShortestPadding = 64;  // a line the filler below fits into
  loggen::LogGenOptions options;
  options.seed = 23;
  options.lines = 30000;
  options.players = static_cast<int>(kPlayers);
  options.max_online = 64;
  const std::string generated = loggen::GenerateLog(options);
  ASSERT_GT(generated.size(), 2 * kStretchBytes);

  // A line put first moves the last line end before the edge onto it.
  const size_t before_edge = generated.rfind('\n', kStretchBytes - kShortestPadding);
  const size_t padding = kStretchBytes - before_edge;
  std::string first = LogLine("20:14:06", "Server say \"");
  first += std::string(padding - first.size() - std::string_view("\"\r\n").size(), 'x') + "\"\r\n";
  const std::string log = first + generated;
  ASSERT_EQ(log[kStretchBytes], '\n');

  TempDir cached, reference;
  testing::AddEmptyStore(cached.path());
  const LogBuffer buffer = BufferOf(log);
  std::string cached_line, reference_line;
  CachedRun(buffer, cached.path(), cached_line);
  DatabaseUpdateRunReference(buffer, reference.path(), reference_line);
  EXPECT_EQ(cached_line, reference_line);
  const std::map<std::string, std::string> want = DatabaseContents(reference.path());
  EXPECT_GE(want.size(), 512u);
  EXPECT_EQ(DatabaseContents(cached.path()), want);
}

// The cached run against the straightforward one over many generated logs,
// also on databases that already hold odd files and on runs that stop.
class Differential : public ::testing::TestWithParam<int> {};

TEST_P(Differential, CachedRunWritesWhatTheReferenceWrites) {
  const int seed = GetParam();
  std::mt19937 random(static_cast<unsigned>(seed));
  loggen::LogGenOptions options;
  options.seed = static_cast<uint64_t>(seed);
  options.lines = 150 + random() % 250;
  options.players = 3 + static_cast<int>(random() % 12);
  options.max_online = 2 + static_cast<int>(random() % 10);
  options.bots = static_cast<int>(random() % 3);
  options.hostile_names = seed % 3 == 0;
  options.bare_lf = seed % 5 == 0;
  options.hour = 22 + static_cast<int>(random() % 2);
  std::vector<std::string> lines = SplitLines(loggen::GenerateLog(options));

  // Odd cases: an id with "/" and an id too long for a file name (the line is
  // passed over), a player file that is a folder (the run stops there).
  const std::string failure_line = [&]() -> std::string {
    switch (seed % 4) {
      case 1:
        return LogLine("23:59:59", "\"X<1><a/b><CT>\" joined team \"CT\"");
      case 2:
        return LogLine("23:59:59", "\"X<1><" + std::string(300, 'z') + "><>\" entered the game");
      default:
        return {};
    }
  }();
  if (!failure_line.empty()) lines.insert(lines.begin() + random() % lines.size(), failure_line);
  // A player typing what reads like a team join and an objective: no event.
  for (const std::string typed : {"joined team \"CT", "triggered \"Planted_The_Bomb"}) {
    lines.insert(lines.begin() + random() % lines.size(),
                 LogLine("23:00:00", "\"Eve<7><STEAM_0:1:5><CT>\" say \"" + typed + "\""));
  }

  TempDir cached, reference;
  auto seed_files = [&](const fs::path& dir) {
    // Files from an earlier run in odd shapes: bare LF, a skill line, text
    // counts, too few lines, extra lines after the skill line.
    WriteBytes(dir / "STEAM_0:0:100000.db", "STEAM_0:0:100000\nd\nt\nOld\n5\n6\n7\n8");
    WriteBytes(dir / "BOT.db", std::string("BOT\r\n01/01/2003\r\n10:00:00\r\nBot\r\nx\r\n") +
                                   Counts(39, "2") + "99\r\nextra\r\nmore");
    if (seed % 4 == 3) fs::create_directory(dir / "STEAM_0:1:107919.db");
  };
  seed_files(cached.path());
  testing::AddEmptyStore(cached.path());
  seed_files(reference.path());

  LogBuffer buffer;
  buffer.Append(Join(lines, options.bare_lf ? "\n" : "\r\n"));
  std::string cached_reference_line, reference_reference_line;
  fs::path cached_error, reference_error;  // the file each run stopped at
  try {
    CachedRun(buffer, cached.path(), cached_reference_line);
    CachedRun(buffer, cached.path(), cached_reference_line);
  } catch (const FileError& error) {
    cached_error = error.file().filename();
  }
  try {
    DatabaseUpdateRunReference(buffer, reference.path(), reference_reference_line);
    DatabaseUpdateRunReference(buffer, reference.path(), reference_reference_line);
  } catch (const FileError& error) {
    reference_error = error.file().filename();
  }
  EXPECT_EQ(cached_reference_line, reference_reference_line);
  EXPECT_EQ(cached_error, reference_error);
  if (seed % 4 != 3) {
    EXPECT_TRUE(cached_error.empty());
  }
  std::map<std::string, std::string> got = DatabaseContents(cached.path());
  std::map<std::string, std::string> want = DatabaseContents(reference.path());
  if (seed % 4 == 0) {
    EXPECT_GT(want.size(), 2u);
  }
  EXPECT_EQ(got, want);
}

INSTANTIATE_TEST_SUITE_P(GeneratedLogs, Differential, ::testing::Range(1, 41));

}  // namespace
}  // namespace varnokel
