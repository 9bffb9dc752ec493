// SPDX-License-Identifier: GPL-3.0-or-later
// varnokel-cli end to end: the real executable on a temporary program folder.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "db/player_file.h"
#include "db/update_run.h"
#include "log/log_buffer.h"
#include "tests/core/store_support.h"
#include "report/site_folder.h"
#include "tests/core/test_support.h"
#include "tools/loggen/log_generator.h"

namespace varnokel {
namespace {

namespace fs = std::filesystem;
using testing::DatabaseContents;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

struct Result {
  int exit_code;
  std::string out;
  std::string err;
};

std::string Quote(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int n = 1; n <= 9; ++n) fs::create_directories(Db(n));
    fs::create_directories(program_ / "html");
    loggen::LogGenOptions options;
    options.lines = 400;
    options.players = 8;
    WriteBytes(program_ / "a.log", loggen::GenerateLog(options));
    options.seed = 2;
    options.bare_lf = true;
    WriteBytes(program_ / "b.log", loggen::GenerateLog(options));
  }

  fs::path Db(int n) const { return program_.path() / ("Datenbanken/db" + std::to_string(n)); }

  Result Run(const std::vector<std::string>& args) {
    std::string command = Quote(VARNOKEL_CLI) + " --program-dir " + Quote(program_.path());
    for (const std::string& arg : args) command.append(" ").append(Quote(arg));
    command += " >" + Quote(output_ / "out") + " 2>" + Quote(output_ / "err");
    int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(output_ / "out"),
            ReadBytes(output_ / "err")};
  }

  TempDir program_;
  TempDir output_;
};

TEST_F(Cli, UsageErrorsExitWithTwo) {
  Result help = Run({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.out.find("Aufruf: varnokel-cli"), std::string::npos);
  for (const auto& args :
       std::vector<std::vector<std::string>>{{},
                                             {"--database", "0", "--list"},
                                             {"--database", "10", "--list"},
                                             {"--database", "x", "--list"},
                                             {"--frobnicate"},
                                             {"--load"},
                                             {"--database", "2"},
                                             // An empty folder: every path at the root.
                                             {"--program-dir", "", "--update"}}) {
    Result r = Run(args);
    EXPECT_EQ(r.exit_code, 2) << (args.empty() ? "" : args[0]);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("varnokel-cli:"), std::string::npos);
  }
}

TEST_F(Cli, LoadUpdateListAndShowLikeTheLibrary) {
  // The program has no fault seam (only the tests' build has): a failing
  // first write asked for in the environment changes nothing. The old
  // --sync is still taken.
  ::setenv("VARNOKEL_FILE_FAULT", "fail:1:EIO", 1);
  Result r = Run({"--sync", "--server", "alpha", "--load", (program_ / "a.log").string(),
                  "--server", "beta", "--load", (program_ / "b.log").string(), "--update",
                  "--list"});
  ::unsetenv("VARNOKEL_FILE_FAULT");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  // No progress when stderr is no terminal: only the summary line.
  EXPECT_EQ(r.err,
            "Datenbank 1: 800 Zeilen gelesen, 800 eingelesen, 0 \u00fcbersprungen (0 bereits in "
            "der Datenbank, 0 unlesbar); 9 Spieler neu, 0 ge\u00e4ndert\n");

  TempDir library;
  LogBuffer buffer;
  buffer.SetServer("alpha");
  LoadLogFile(buffer, program_ / "a.log");
  buffer.SetServer("beta");
  LoadLogFile(buffer, program_ / "b.log");
  std::string reference_line;
  DatabaseUpdateRun(buffer, library.path(), reference_line);
  std::map<std::string, std::string> expected = DatabaseContents(library.path());
  EXPECT_EQ(testing::DatabaseState(Db(1)), testing::DatabaseState(library.path()));
  EXPECT_NE(testing::DatabaseState(Db(1)).at("statistik.sqlite").find("|beta|"), std::string::npos);

  std::string listing;
  for (const auto& [name, bytes] : expected) listing += name + "\n";
  EXPECT_EQ(r.out, listing + "Logfile fertig... Datenbank 1 fertig...\n");

  Result show = Run({"--show", "BOT.db"});
  ASSERT_EQ(show.exit_code, 0) << show.err;
  Fields bot = SplitFields(expected["BOT.db"]);
  EXPECT_EQ(show.out.substr(0, show.out.find('\n')), "Name:\t" + bot[3]);
  EXPECT_NE(show.out.find("\nawm\t" + bot[38] + "\n"), std::string::npos);
  EXPECT_EQ(std::count(show.out.begin(), show.out.end(), '\n'), 26);
}

TEST_F(Cli, DatabaseChoiceAppliesToLaterActions) {
  Result r = Run({"--load", (program_ / "a.log").string(), "--database", "3", "--update",
                  "--database", "4", "--update", "--list"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(DatabaseContents(Db(1)).empty());
  EXPECT_FALSE(DatabaseContents(Db(3)).empty());
  EXPECT_EQ(DatabaseContents(Db(3)), DatabaseContents(Db(4)));
  EXPECT_TRUE(r.out.ends_with("Logfile fertig... Datenbank 3 fertig... Datenbank 4 fertig...\n"));

  Result deleted = Run({"--database", "3", "--delete", "--list"});
  EXPECT_EQ(deleted.exit_code, 0);
  EXPECT_EQ(deleted.out, "");
  EXPECT_TRUE(DatabaseContents(Db(3)).empty());
  EXPECT_FALSE(fs::exists(Db(3) / "statistik.sqlite"));
  EXPECT_FALSE(DatabaseContents(Db(4)).empty());
}

TEST_F(Cli, FailureKeepsEarlierWorkAndNamesTheFile) {
  const std::string missing = (program_ / "missing.log").string();
  Result r =
      Run({"--load", (program_ / "a.log").string(), "--update", "--load", missing, "--update"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(missing), std::string::npos);
  EXPECT_FALSE(DatabaseContents(Db(1)).empty());  // the first update stays

  Result show = Run({"--show", "nobody.db"});
  EXPECT_EQ(show.exit_code, 1);
  EXPECT_NE(show.err.find((Db(1) / "nobody.db").string()), std::string::npos);

  // A player id with "/" (typed into chat, say) passes its line over, counted
  // as unreadable; nothing is written outside the database.
  WriteBytes(program_ / "evil.log",
             "L 03/15/2003 - 20:00:00: \"A<1><ok><>\" entered the game\r\n"
             "L 03/15/2003 - 20:00:01: \"B<2><../../x><>\" entered the game\r\n");
  Result evil = Run({"--database", "2", "--load", (program_ / "evil.log").string(), "--update"});
  EXPECT_EQ(evil.exit_code, 0);
  EXPECT_NE(evil.err.find("2 Zeilen gelesen, 1 eingelesen, 1 \u00fcbersprungen (0 bereits in der "
                          "Datenbank, 1 unlesbar)"),
            std::string::npos);
  EXPECT_EQ(DatabaseContents(Db(2)).size(), 1u);
  EXPECT_TRUE(fs::exists(Db(2) / "ok.db"));
  EXPECT_FALSE(fs::exists(program_.path() / "x.db"));
}

// A scheduled run over a log folder: one unreadable log is named and passed
// over, the others and the actions after it still run, and the exit status
// tells of it at the end. A file without a single time-stamped line is named
// as no log, and loaded all the same.
TEST_F(Cli, UnreadableLogInAFolderStopsNothingElse) {
  const fs::path logs = program_ / "logs";
  fs::create_directory(logs);
  fs::copy_file(program_ / "a.log", logs / "a.log");
  fs::copy_file(program_ / "b.log", logs / "c.log");
  WriteBytes(logs / "notes.log", "just some notes\n");
  // Unreadable even for root: reading this link's target fails.
  fs::create_symlink("/proc/self/mem", logs / "b.log");
  Result r = Run({"--load-new", logs.string(), "--update", "--list"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find((logs / "b.log").string() + ": nicht lesbar"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find((logs / "notes.log").string() + ": kein Log"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("3 neue Logs geladen"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("Datenbank 1 fertig..."), std::string::npos);
  EXPECT_FALSE(DatabaseContents(Db(1)).empty());
}

TEST_F(Cli, ColoursRefreshAndReport) {
  const std::string colours =
      "#000000\r\n#111111\r\n#222222\r\n#333333\r\n#444444\r\n#555555\r\n#666666\r\n#777777\r\n"
      "#888888\r\n#999999\r\n#aaaaaa\r\n#bbbbbb";
  WriteBytes(program_ / "mine.no", colours);
  Result r = Run({"--load", (program_ / "a.log").string(), "--update", "--colours",
                  (program_ / "mine.no").string(), "--refresh", "--report"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "Logfile fertig... Datenbank 1 fertig... HTML - Ausgabe 1 fertig...\n");
  EXPECT_EQ(ReadBytes(program_ / "color.no"), colours);
  EXPECT_TRUE(fs::exists(program_ / "s_style.css"));
  EXPECT_TRUE(fs::exists(program_ / "html" / "style.css"));

  // Without --colours the colours come from color.no; without it, an error.
  fs::remove(program_ / "color.no");
  Result missing = Run({"--report"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("color.no"), std::string::npos);
}

TEST_F(Cli, SiteFolderPerDatabaseAndABusyOneExitsThree) {
  const fs::path first = output_ / "site1";
  const fs::path second = output_ / "site2";
  std::string colours;
  for (int k = 0; k < 12; ++k) colours += "#123456\r\n";
  WriteBytes(program_ / "color.no", colours);
  Result one = Run(
      {"--load", (program_ / "a.log").string(), "--update", "--site", first.string(), "--report"});
  Result two = Run({"--database", "2", "--site", second.string(), "--load",
                    (program_ / "b.log").string(), "--update", "--report"});
  ASSERT_EQ(one.exit_code + two.exit_code, 0) << one.err << two.err;
  EXPECT_NE(ReadBytes(first / "st.htm"), ReadBytes(second / "st.htm"));
  EXPECT_FALSE(fs::exists(program_ / "html" / "st.htm"));

  const SiteFolder held(SiteTarget{first, LockWait::kWait, {}});
  Result busy = Run({"--no-wait", "--site", first.string(), "--report"});
  EXPECT_EQ(busy.exit_code, 3);
  EXPECT_EQ(busy.err, "varnokel-cli: Seitenordner " + first.string() +
                          " ist belegt: ein anderes Programm schreibt gerade hinein\n");
}

// An installation laid out as the package lays it out, with a copy of the
// executable: a missing or empty --program-dir is made from its shared files.
TEST(CliProgramFolder, MissingOrEmptyFolderIsMadeFromTheInstallation) {
  TempDir root;
  fs::create_directories(root / "bin");
  fs::copy_file(VARNOKEL_CLI, root / "bin/varnokel-cli");
  const fs::path shared = root / "share/varnokel";
  fs::create_directories(shared / "html/req");
  WriteBytes(shared / "color.no", "#000000\r\n");
  WriteBytes(shared / "html/req/about.htm", "<html>");
  fs::create_directories(root / "empty");
  for (const fs::path& folder : {root / "new/clan-stats", root / "empty"}) {
    const std::string command = Quote((root / "bin/varnokel-cli").string()) + " --program-dir " +
                                Quote(folder.string()) + " --list 2>" + Quote(root / "err");
    for (int run = 0; run < 2; ++run) {
      EXPECT_EQ(std::system(command.c_str()), 0) << folder;
      EXPECT_EQ(ReadBytes(root / "err"),
                run == 0 ? "Programmordner " + folder.string() +
                               " aus der Vorlage der Installation eingerichtet\n"
                         : "");
    }
    EXPECT_TRUE(fs::is_directory(folder / "Datenbanken/db9"));
    EXPECT_EQ(ReadBytes(folder / "html/req/about.htm"), "<html>");
    EXPECT_EQ(fs::status(folder / "html").permissions(), fs::perms(0755));
  }
}

}  // namespace
}  // namespace varnokel
