// SPDX-License-Identifier: GPL-3.0-or-later
// The report run on a site that is already there: which pages it rewrites
// (told by inode and modification time), which it removes, and that the
// result is always what a run into an empty folder writes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <fstream>
#include <map>
#include <optional>
#include <set>

#include "base/file_calls_testing.h"
#include "base/file_io.h"
#include "report/report_run.h"
#include "report/site_index.h"
#include "report/site_writer.h"
#include "report/weapon_pages.h"
#include "tests/report/report_test_util.h"

namespace varnokel {
namespace {

namespace fs = std::filesystem;
using testutil::ProgramFolder;
using testutil::ReadBytes;

using Stamp = std::pair<uint64_t, int64_t>;  // inode, modification time in ns

// Every file directly in `dir`, with what tells a rewritten file.
std::map<std::string, Stamp> Stamps(const fs::path& dir) {
  std::map<std::string, Stamp> stamps;
  for (const std::string& name : ListEntryNames(dir)) {
    struct stat status {};
    if (::lstat((dir / name).c_str(), &status) == 0 && S_ISREG(status.st_mode))
      stamps[name] = {status.st_ino,
                      status.st_mtim.tv_sec * 1'000'000'000LL + status.st_mtim.tv_nsec};
  }
  return stamps;
}

// The files of `after` that are new or not the files of `before`.
std::set<std::string> Rewritten(const std::map<std::string, Stamp>& before,
                                const std::map<std::string, Stamp>& after) {
  std::set<std::string> names;
  for (const auto& [name, stamp] : after)
    if (!before.contains(name) || before.at(name) != stamp) names.insert(name);
  return names;
}

std::set<std::string> Names(const std::map<std::string, Stamp>& stamps) {
  std::set<std::string> names;
  for (const auto& [name, stamp] : stamps) names.insert(name);
  return names;
}

class SiteUpdate : public ::testing::Test {
 protected:
  SiteChanges Run() {
    return ReportRun(site.root(), site.database(), colours, testutil::kReportTime);
  }

  // The site holds exactly the pages a run into an empty folder writes from
  // the same database, byte for byte, besides `foreign` files.
  void ExpectSameAsFullRewrite(const std::set<std::string>& foreign = {}) {
    ProgramFolder fresh;
    ReportRun(fresh.root(), site.database(), colours, testutil::kReportTime);
    std::set<std::string> names = Names(Stamps(site.html()));
    for (const std::string& name : foreign) names.erase(name);
    EXPECT_EQ(names, Names(Stamps(fresh.html())));
    for (const std::string& name : names)
      EXPECT_TRUE(
          testutil::SameBytes(ReadBytes(fresh.html() / name), ReadBytes(site.html() / name)))
          << name;
  }

  ProgramFolder site;
  ColourSet colours{"#101010", "#202020", "#303030", "#404040", "#505050", "#606060",
                    "#707070", "#808080", "#909090", "#a0a0a0", "#b0b0b0", "#c0c0c0"};
};

// st, se, sp, wt, the weapon pages, style.css and the history pages
constexpr size_t kTablePages = 4 + 24 + 1 + testutil::kEmptyHistoryPages;

TEST_F(SiteUpdate, UnchangedDatabaseRewritesNothing) {
  site.AddPlayer("a", "Ann", {{7, "2"}, {20, "2"}});
  // A page name with a blank and a line feed: the index holds any name.
  site.AddPlayer("b b\nb", testutil::PlayerFileBytes("b", "Bob", {{7, "1"}, {43, "1"}}));
  site.AddPlayer("c", "Cem", {});
  EXPECT_EQ(Run().written, kTablePages + 3);
  const auto before = Stamps(site.html());
  const SiteChanges again = Run();
  EXPECT_EQ(again.written, 0u);
  EXPECT_EQ(again.kept, kTablePages + 3);
  EXPECT_EQ(Rewritten(before, Stamps(site.html())), std::set<std::string>{});
  ExpectSameAsFullRewrite();
}

TEST_F(SiteUpdate, ChangeRewritesThePagesThatShowIt) {
  site.AddPlayer("a", "Ann", {{7, "2"}, {20, "2"}});
  site.AddPlayer("b", "Bob", {{7, "1"}, {43, "1"}, {19, "60"}});
  site.AddPlayer("c", "Cem", {});
  Run();

  // A kill with the usp: his page, the skill table, the usp page, the summary.
  auto before = Stamps(site.html());
  site.AddPlayer("b", "Bob", {{7, "2"}, {43, "1"}, {19, "60"}, {20, "1"}});
  Run();
  EXPECT_EQ(Rewritten(before, Stamps(site.html())),
            (std::set<std::string>{"b.htm", "st.htm", ".usp.htm", "wt.htm"}));
  ExpectSameAsFullRewrite();

  // A new leave date shows on his page alone.
  before = Stamps(site.html());
  site.AddPlayer("c", "Cem", {{18, "03/17/2003"}});
  Run();
  EXPECT_EQ(Rewritten(before, Stamps(site.html())), (std::set<std::string>{"c.htm"}));

  // A new name shows in every table that lists players, not in the summary.
  before = Stamps(site.html());
  site.AddPlayer("a", "Anna", {{7, "2"}, {20, "2"}});
  std::set<std::string> expected = {"a.htm", "st.htm", "se.htm", "sp.htm"};
  for (int w = 0; w < kWeaponCount; ++w) expected.insert(WeaponPageName(w));
  Run();
  EXPECT_EQ(Rewritten(before, Stamps(site.html())), expected);

  // New colours: the style sheet.
  before = Stamps(site.html());
  colours[3] = "#ffffff";
  Run();
  EXPECT_EQ(Rewritten(before, Stamps(site.html())), (std::set<std::string>{"style.css"}));
  ExpectSameAsFullRewrite();
}

TEST_F(SiteUpdate, PagesOfRemovedPlayersGoAndOtherFilesStay) {
  site.AddPlayer("a", "Ann", {});
  site.AddPlayer("b", "Bob", {});
  site.AddPlayer("c", "Cem", {});
  site.AddPlayer("d", "Dan", {});
  fs::create_directories(site.html() / "req");
  WriteFileAtomic(site.html() / "req" / "about.htm", "about");
  WriteFileAtomic(site.html() / "notes.htm", "notes");
  WriteFileAtomic(site.html() / "usp.gif", "GIF89a");
  Run();

  // The operator put his own page where c's was; d's page was deleted.
  WriteFileAtomic(site.html() / "c.htm", "mine");
  fs::remove(site.html() / "d.htm");
  fs::remove(site.database() / "b.db");
  fs::remove(site.database() / "c.db");
  const SiteChanges changes = Run();
  EXPECT_EQ(changes.removed, 1u);
  EXPECT_FALSE(fs::exists(site.html() / "b.htm"));
  EXPECT_EQ(ReadBytes(site.html() / "c.htm"), "mine");  // no longer the site's
  EXPECT_TRUE(fs::exists(site.html() / "d.htm"));       // written again
  EXPECT_EQ(ReadBytes(site.html() / "req" / "about.htm"), "about");
  EXPECT_EQ(ReadBytes(site.html() / "notes.htm"), "notes");
  EXPECT_EQ(ReadBytes(site.html() / "usp.gif"), "GIF89a");
  ExpectSameAsFullRewrite({"c.htm", "notes.htm", "usp.gif"});

  // A page changed in place is the site's no more either: written again.
  std::ofstream(site.html() / "st.htm", std::ios::app) << " ";
  EXPECT_EQ(Run().written, 1u);
  ExpectSameAsFullRewrite({"c.htm", "notes.htm", "usp.gif"});
}

TEST_F(SiteUpdate, MissingOrDamagedIndexRewritesEverything) {
  site.AddPlayer("a", "Ann", {{7, "2"}, {20, "2"}});
  site.AddPlayer("b", "Bob", {});
  Run();
  const fs::path index = SiteIndexFile(site.html(), site.database());
  const std::string good = ReadBytes(index);
  std::string flipped = good;
  flipped[good.size() / 2] ^= 1;
  const std::optional<std::string> damages[] = {std::nullopt, "", good.substr(0, good.size() - 1),
                                                flipped, good + "x"};
  for (const std::optional<std::string>& damaged : damages) {
    SCOPED_TRACE(damaged ? damaged->substr(0, 40) : "missing");
    if (damaged) {
      WriteFileAtomic(index, *damaged);
    } else {
      fs::remove(index);
    }
    const auto before = Stamps(site.html());
    EXPECT_EQ(Run().written, kTablePages + 2);
    const auto after = Stamps(site.html());
    EXPECT_EQ(Rewritten(before, after), Names(after));
    ExpectSameAsFullRewrite();
    EXPECT_EQ(Run().written, 0u);  // the index is whole again
  }
}

TEST_F(SiteUpdate, RunStoppedHalfWayTrustsNoPageItMayHaveChanged) {
  site.AddPlayer("a", "Ann", {{7, "2"}, {20, "2"}});
  site.AddPlayer("b", "Bob", {});
  Run();
  const std::string old_b = ReadBytes(site.database() / "b.db");

  // The run writes the index naming what it will write, then its pages,
  // several at once: the second page written fails. The player file goes
  // back to what it was.
  site.AddPlayer("b", "Bob", {{7, "1"}, {20, "1"}});
  SetFileFault({.at = 3, .error = EIO});
  const std::set<fs::path> to_write = {site.html() / "st.htm", site.html() / ".usp.htm",
                                       site.html() / "wt.htm", site.html() / "b.htm"};
  try {
    Run();
    ADD_FAILURE() << "the run went through";
  } catch (const FileError& error) {
    EXPECT_TRUE(to_write.contains(error.file())) << error.file();
  }
  SetFileFault({});
  WriteFileAtomic(site.database() / "b.db", old_b);

  // The page the stopped run wrote shows b's kill, though its input is the
  // one of the last whole run again: it must be written anew, and so must
  // every page the stopped run was about to write.
  EXPECT_EQ(Run().written, 4u);  // st.htm, .usp.htm, wt.htm, b.htm
  ExpectSameAsFullRewrite();
}

TEST_F(SiteUpdate, SiteFolderThatIsALinkStaysOne) {
  testutil::TempDir web_root;
  fs::create_directory_symlink(web_root.path(), site.html());
  site.AddPlayer("a", "Ann", {});
  site.AddPlayer("b", "Bob", {});
  Run();
  fs::remove(site.database() / "b.db");
  Run();
  EXPECT_TRUE(fs::is_symlink(site.html()));
  EXPECT_TRUE(fs::exists(web_root.path() / "a.htm"));
  EXPECT_FALSE(fs::exists(web_root.path() / "b.htm"));
  EXPECT_EQ(Run().written, 0u);
  ExpectSameAsFullRewrite();
}

TEST(SiteWriter, IndexOfAnotherFormatKeepsNoPageButStillNamesTheSitesFiles) {
  testutil::TempDir dir;
  testutil::TempDir database;
  const fs::path index = database.path() / ".site";
  const Fingerprint format_a = PageInput("format").Text("a").Value();
  const Fingerprint format_b = PageInput("format").Text("b").Value();
  const Fingerprint input = PageInput("page").Text("x").Value();
  auto page = [](PageOutput& out) { out.text() += "page"; };
  {
    SiteWriter site(SiteTarget{dir.path(), LockWait::kWait, {}}, index, format_a);
    site.Add("a.htm", input, page);
    site.Add("b.htm", input, page);
    EXPECT_EQ(site.Commit().written, 2u);
  }
  SiteWriter site(SiteTarget{dir.path(), LockWait::kWait, {}}, index, format_b);
  site.Add("a.htm", input, page);
  const SiteChanges changes = site.Commit();
  EXPECT_EQ(changes.written, 1u);
  EXPECT_EQ(changes.kept, 0u);
  EXPECT_EQ(changes.removed, 1u);
  EXPECT_FALSE(fs::exists(dir.path() / "b.htm"));
}

TEST_F(SiteUpdate, TemporariesOfAKilledRunGoWithTheNextRun) {
  site.AddPlayer("a", "Ann", {{7, "2"}});
  Run();
  // What a run killed while writing leaves: hidden temporaries, also in a subfolder.
  fs::create_directories(site.html() / "spieler");
  for (const char* name : {".st.htm.tmp12345", "spieler/.a.htm.tmp7", "daten/.tage.json.tmp9"})
    WriteFileAtomic(site.html() / name, "half a page");
  WriteFileAtomic(site.html() / ".notes.tmp", "not ours");
  Run();
  for (const char* name : {".st.htm.tmp12345", "spieler/.a.htm.tmp7", "daten/.tage.json.tmp9"})
    EXPECT_FALSE(fs::exists(site.html() / name)) << name;
  EXPECT_TRUE(fs::exists(site.html() / ".notes.tmp"));
}

TEST(SiteWriter, SubfolderOfAFirstRunAppearsWholeOrNotAtAll) {
  testutil::TempDir dir;
  testutil::TempDir database;
  const fs::path index = database.path() / ".site";
  const Fingerprint input = PageInput("page").Text("x").Value();
  bool fail = true;
  const auto write = [&] {
    SiteWriter site(SiteTarget{dir.path(), LockWait::kWait, {}}, index, input);
    site.Add("a.htm", input, [](PageOutput& out) { out.text() += "a"; });
    site.Add("spieler/x.htm", input, [](PageOutput& out) { out.text() += "x"; });
    site.Add("spieler/y.htm", input, [&](PageOutput& out) {
      // No page of the folder shows before the last of them is written.
      EXPECT_FALSE(fs::exists(dir.path() / "spieler"));
      if (fail) throw FileError(FileError::Kind::kCreate, "y", "voll");
      out.text() += "y";
    });
    return site.Commit();
  };
  EXPECT_THROW(write(), FileError);
  for (const std::string& name : ListEntryNames(dir.path()))  // nothing of the folder, nor hidden
    EXPECT_EQ(name, "a.htm");

  // What a killed run leaves: its hidden folder, half written.
  fs::create_directory(dir.path() / ".spieler.tmp77");
  WriteFileAtomic(dir.path() / ".spieler.tmp77" / "x.htm", "half");
  fail = false;
  EXPECT_EQ(write().written, 3u);
  EXPECT_EQ(ListEntryNames(dir.path()), (std::vector<std::string>{"a.htm", "spieler"}));
  EXPECT_EQ(ReadBytes(dir.path() / "spieler" / "y.htm"), "y");
  EXPECT_EQ(fs::status(dir.path() / "spieler").permissions(), kPublishedFolderMode);
  EXPECT_EQ(write().kept, 3u);
}

TEST(SiteWriter, PagesAddedWhileTheFirstAreWrittenKeepTheirEntriesWhenTheRunFails) {
  testutil::TempDir dir;
  testutil::TempDir database;
  const fs::path index = database.path() / ".site";
  const Fingerprint x = PageInput("page").Text("x").Value();
  const Fingerprint y = PageInput("page").Text("y").Value();
  const auto run = [&](const Fingerprint& first_input, bool fail) {
    SiteWriter site(SiteTarget{dir.path(), LockWait::kWait, {}}, index, x);
    site.Add("a.htm", first_input, [](PageOutput& out) { out.text() += "a"; });
    return site.Commit([&] {
      if (fail) throw FileError(FileError::Kind::kOpen, "store", "kaputt");
      site.Add("b.htm", x, [](PageOutput& out) { out.text() += "b"; });
      site.Add("spieler/c.htm", x, [](PageOutput& out) { out.text() += "c"; });
    });
  };
  EXPECT_EQ(run(x, false).written, 3u);
  EXPECT_EQ(run(x, false).kept, 3u);
  // a.htm is written while the run fails before the others are added: they
  // stay, and so do their entries.
  EXPECT_THROW(run(y, true), FileError);
  EXPECT_EQ(ReadBytes(dir.path() / "spieler" / "c.htm"), "c");
  const SiteChanges again = run(x, false);
  EXPECT_EQ(again.written, 1u);
  EXPECT_EQ(again.kept, 2u);
}

}  // namespace
}  // namespace varnokel
