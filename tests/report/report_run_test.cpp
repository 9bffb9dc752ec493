// SPDX-License-Identifier: GPL-3.0-or-later
// The whole report run in a real program folder, and the colour settings.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

#include <cstdlib>
#include <future>
#include <optional>

#include "base/file_io.h"
#include "report/colour_settings.h"
#include "report/page_frame.h"
#include "report/page_text.h"
#include "report/report_run.h"
#include "report/site_folder.h"
#include "report/site_index.h"
#include "tests/report/report_test_util.h"

namespace varnokel {
namespace {

using testutil::Fixture;
using testutil::ProgramFolder;
using testutil::ReadBytes;
using testutil::Template;

ColourSet Colours() {
  return {"#101010", "#202020", "#303030", "#404040", "#505050", "#606060",
          "#707070", "#808080", "#909090", "#a0a0a0", "#b0b0b0", "#c0c0c0"};
}

// The site's files, those in subfolders by their relative names; no folders.
std::vector<std::string> SiteFiles(const std::filesystem::path& html) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(html))
    if (entry.is_regular_file()) names.push_back(entry.path().lexically_relative(html).string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(ReportRun, WritesTheWholeSiteAndTwoRunsAreIdentical) {
  ProgramFolder site;
  site.AddPlayer("4711", "Ann", {{7, "2"}, {33, "2"}, {19, "100"}});
  site.AddPlayer("STEAM_0:1:5", "Bob <b>", {{42, "1"}, {7, "1"}});
  // Not players: a folder, a notes file, hidden files and a bare ".db".
  std::filesystem::create_directories(site.database() / "old.db");
  WriteFileAtomic(site.database() / "notes.txt", "x");
  WriteFileAtomic(site.database() / ".hidden.db", "x");
  WriteFileAtomic(site.database() / ".db", "x");

  ReportRun(site.root(), site.database(), Colours(), testutil::kReportTime);
  const std::vector<std::string> files = SiteFiles(site.html());
  EXPECT_EQ(files.size(), 4u + 24u + 2u + 1u + testutil::kEmptyHistoryPages);
  for (const char* name : {"st.htm", "se.htm", "sp.htm", "wt.htm", ".usp.htm", ".grenade.htm",
                           "4711.htm", "STEAM_0:1:5.htm", "style.css"})
    EXPECT_TRUE(std::filesystem::is_regular_file(site.html() / name)) << name;
  EXPECT_EQ(ReadBytes(site.html() / "style.css"), StyleSheetText(Colours()));
  const std::string list = ReadBytes(site.html() / "sp.htm");
  EXPECT_NE(list.find(R"(<a href="STEAM_0%3A1%3A5.htm">Bob &lt;b&gt;</a>)"), std::string::npos);
  EXPECT_EQ(list.find("<b>Bob"), std::string::npos);

  std::vector<std::string> first;
  for (const std::string& name : files) first.push_back(ReadBytes(site.html() / name));
  ReportRun(site.root(), site.database(), Colours(), testutil::kReportTime);
  ASSERT_EQ(SiteFiles(site.html()), files);
  for (size_t i = 0; i < files.size(); ++i)
    EXPECT_EQ(ReadBytes(site.html() / files[i]), first[i]) << files[i];
}

TEST(PlayerListing, FilesReadWholeUpToANulAndLinksPassedOver) {
  ProgramFolder site;
  const std::string long_name(5000, 'x');  // more than one piece of reading
  site.AddPlayer("a", testutil::PlayerFileBytes("a", long_name, {{7, "3"}}));
  std::string cut = testutil::PlayerFileBytes("b", "Bob", {{7, "3"}});
  const size_t nul = cut.find("\r\n3") + 2;
  cut[nul] = '\0';
  site.AddPlayer("b", cut);
  std::filesystem::create_symlink(site.database() / "a.db", site.database() / "link.db");
  const PlayerListing listing = site.Listing();
  ASSERT_EQ(listing.size(), 2u);
  EXPECT_EQ(listing[0].bytes, testutil::PlayerFileBytes("a", long_name, {{7, "3"}}));
  EXPECT_EQ(listing[0].shown_name, long_name);
  EXPECT_EQ(listing[1].bytes, cut.substr(0, nul));
  EXPECT_EQ(listing[1].stem, "b");
  EXPECT_EQ(listing[1].link, "b");
}

TEST(ReportRun, SmallSiteMatchesTheStoredPages) {
  // One page of each kind, stored whole in data/site/: they hold every fixed
  // piece of markup, so a change to any of them shows here.
  ProgramFolder site;
  site.AddPlayer("4711", "Ann",
                 {{7, "5"},
                  {33, "3"},
                  {20, "2"},
                  {6, "2"},
                  {19, "3725"},
                  {4, "3"},
                  {5, "1"},
                  {8, "1"},
                  {9, "2"},
                  {10, "3"},
                  {11, "4"},
                  {12, "5"},
                  {13, "6"},
                  {14, "7"},
                  {15, "8"},
                  {16, "9"},
                  {17, "11"}});
  site.AddPlayer("4712", "Bob <b> & \"co\"",
                 {{7, "4"}, {33, "3"}, {42, "1"}, {6, "4"}, {19, "7200"}});
  site.AddPlayer("4713", "Cem", {{19, "7200"}});
  site.AddPlayer("4714", "Dan", {{7, "5"}, {43, "4"}, {38, "1"}, {13, "1"}});
  ReportRun(site.root(), site.database(), Colours(), testutil::kReportTime);
  if (const char* keep = std::getenv("VARNOKEL_KEEP_SITE"))
    std::filesystem::copy(site.html(), keep, std::filesystem::copy_options::recursive);
  for (const char* page : {"st.htm", "se.htm", "sp.htm", "wt.htm", ".ak47.htm", "4711.htm"})
    EXPECT_TRUE(
        testutil::SameBytes(Fixture(std::string("site/") + page), ReadBytes(site.html() / page)))
        << page;
}

TEST(ReportRun, EmptyOrMissingDatabaseGivesEmptyTables) {
  ProgramFolder site;
  ReportRun(site.root(), site.database(), Colours(), testutil::kReportTime);
  EXPECT_EQ(ReadBytes(site.html() / "st.htm"),
            Template("skill_table_head.htm") + testutil::TableFooter());
  EXPECT_EQ(ReadBytes(site.html() / "se.htm"),
            Template("sessions_table_head.htm") + testutil::TableFooter());
  EXPECT_EQ(ReadBytes(site.html() / "sp.htm"),
            Template("player_list_head.htm") + testutil::TableFooter());
  EXPECT_EQ(SiteFiles(site.html()).size(), 4u + 24u + 1u + testutil::kEmptyHistoryPages);
  ReportRun(site.root(), site.root() / "no such folder", Colours(), testutil::kReportTime);
  EXPECT_EQ(SiteFiles(site.html()).size(), 4u + 24u + 1u + testutil::kEmptyHistoryPages);
}

// Two databases write one folder: each run removes only pages its own
// database wrote, the index is nowhere in the folder, and everything made
// there is readable by a web server whatever the umask.
TEST(ReportRun, DatabasesSharingASiteFolderKeepEachOthersPages) {
  ProgramFolder site;
  const std::filesystem::path second = site.root() / "Datenbanken" / "db2";
  std::filesystem::create_directories(second);
  site.AddPlayer("a", "Ann", {});
  WriteFileAtomic(second / "b.db", testutil::PlayerFileBytes("b", "Bob"));
  const std::filesystem::path web = site.root() / "web" / "stats";
  const mode_t umask_before = ::umask(077);
  ReportRun(SiteTarget{web, LockWait::kWait, {}}, site.database(), Colours());
  WriteFileAtomic(web / std::string(kServedSiteIndexName), "an index of an older version");
  ReportRun(SiteTarget{web, LockWait::kWait, {}}, second, Colours());
  std::filesystem::remove(second / "b.db");
  ReportRun(SiteTarget{web, LockWait::kWait, {}}, site.database(), Colours());
  EXPECT_TRUE(std::filesystem::exists(web / "a.htm"));
  EXPECT_TRUE(std::filesystem::exists(web / "b.htm"));
  ReportRun(SiteTarget{web, LockWait::kWait, {}}, second, Colours());
  EXPECT_TRUE(std::filesystem::exists(web / "a.htm"));
  EXPECT_FALSE(std::filesystem::exists(web / "b.htm"));
  ::umask(umask_before);

  for (const std::string& name : SiteFiles(web))
    EXPECT_TRUE(name.ends_with(".htm") || name.ends_with(".html") || name.ends_with(".css") ||
                name.ends_with(".json"))
        << name;
  EXPECT_TRUE(std::filesystem::is_regular_file(SiteIndexFile(web, site.database())));
  EXPECT_NE(SiteIndexFile(web, site.database()), SiteIndexFile(site.html(), site.database()));
  for (const std::filesystem::path& made : {web.parent_path(), web})
    EXPECT_EQ(std::filesystem::status(made).permissions(), kPublishedFolderMode) << made;
  EXPECT_EQ(std::filesystem::status(web / "st.htm").permissions(), kPublishedFileMode);
  EXPECT_EQ(std::filesystem::status(web / "a.htm").permissions(), kPublishedFileMode);
}

// A second writer of a site folder gives up at once when told not to wait,
// else waits until the first is done.
TEST(ReportRun, SecondWriterOfASiteWaitsOrGivesUp) {
  ProgramFolder site;
  site.AddPlayer("a", "Ann", {});
  std::optional<SiteFolder> first(std::in_place, SiteTarget{site.html(), LockWait::kWait, {}});
  EXPECT_THROW(
      ReportRun(SiteTarget{site.html(), LockWait::kNoWait, {}}, site.database(), Colours()),
      SiteBusy);
  std::promise<void> waiting;
  std::future<SiteChanges> second = std::async(std::launch::async, [&] {
    return ReportRun(SiteTarget{site.html(), LockWait::kWait, [&] { waiting.set_value(); }},
                     site.database(), Colours());
  });
  waiting.get_future().wait();
  EXPECT_FALSE(std::filesystem::exists(site.html() / "a.htm"));
  first.reset();
  EXPECT_EQ(second.get().written, 4u + 24u + 1u + 1u + testutil::kEmptyHistoryPages);
}

TEST(ReportRun, PlayerFilesNamedLikeTablesDoNotReplaceThem) {
  ProgramFolder site;
  site.AddPlayer("st", "Sneaky", {});
  ReportRun(site.root(), site.database(), Colours(), testutil::kReportTime);
  EXPECT_EQ(ReadBytes(site.html() / "st.htm").substr(0, PageHead(Page::kSkillTable).size()),
            PageHead(Page::kSkillTable));
}

TEST(ReportRun, FailedPageStopsTheRunAndKeepsEarlierPages) {
  ProgramFolder site;
  site.AddPlayer("a", "Ann", {});
  // A folder where the player list goes cannot be replaced by a file.
  std::filesystem::create_directories(site.html() / "sp.htm" / "inside");
  try {
    ReportRun(site.root(), site.database(), Colours(), testutil::kReportTime);
    FAIL() << "the run went through";
  } catch (const FileError& error) {
    EXPECT_EQ(error.file(), site.html() / "sp.htm");
    EXPECT_EQ(error.kind(), FileError::Kind::kCreate);
  }
  EXPECT_TRUE(std::filesystem::is_regular_file(site.html() / "st.htm"));
  EXPECT_TRUE(std::filesystem::is_regular_file(site.html() / "se.htm"));
  EXPECT_FALSE(std::filesystem::exists(site.html() / "wt.htm"));
  EXPECT_FALSE(std::filesystem::exists(site.html() / "a.htm"));
  EXPECT_FALSE(std::filesystem::exists(site.html() / "style.css"));
  for (const std::string& name : SiteFiles(site.html()))  // no temporary file left
    EXPECT_EQ(name.find(".htm.tmp"), std::string::npos) << name;
}

TEST(ReportRun, StatusText) {
  EXPECT_EQ(ReportDoneStatus("3"), " HTML - Ausgabe 3 fertig...");
}

TEST(ColourSettings, StyleSheetText) {
  ColourSet colours;
  colours[0] = "#ffffff";
  const std::string empty = StyleSheetText(colours);
  EXPECT_EQ(empty.rfind(".tbody { background-color: #ffffff; }.linecolor { color: ; }.color1 "
                        "{ background-color: ",
                        0),
            0u);
  // clang-format off
  EXPECT_EQ(StyleSheetText(Colours()),
            ".tbody { background-color: #101010; }.linecolor { color: #202020; }"
            ".color1 { background-color: #303030; }.color2 { background-color: #404040; }"
            ".color3 { background-color: #505050; }.color4 { background-color: #606060; }"
            ".color5 { background-color: #b0b0b0; }.color6 { background-color: #c0c0c0; }"
            ".text { font-family: arial; font-size: 10px; color: #707070; }"
            ".ueberschrift { font-family: arial; font-size: 16px; color: #808080; }"
            "a { color: #909090; text-decoration: none;}"
            "a:hover { color: #a0a0a0; text-decoration: none; }");
  // clang-format on
}

TEST(ColourSettings, ColourFileRoundTrip) {
  ColourSet black;
  black.fill("#000000");
  const std::string bytes = FormatColourFile(black);
  EXPECT_EQ(bytes.size(), 106u);
  EXPECT_EQ(bytes.substr(0, 9), "#000000\r\n");
  EXPECT_EQ(bytes.substr(99), "#000000");

  testutil::TempDir dir;
  bool navigated = false;
  RefreshStyleFiles(dir.path(), Colours(), [&] {
    navigated = true;
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "s_style.css"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "color.no"));
  });
  EXPECT_TRUE(navigated);
  EXPECT_EQ(ReadBytes(dir.path() / "s_style.css"), StyleSheetText(Colours()));
  EXPECT_EQ(ReadColourFile(dir.path() / "color.no"), Colours());

  WriteFileAtomic(dir.path() / "short.no", "a\r\nb");
  EXPECT_EQ(ReadColourFile(dir.path() / "short.no"),
            (ColourSet{"a", "b", "", "", "", "", "", "", "", "", "", ""}));
  std::string many;
  for (int i = 0; i < 14; ++i) many += std::to_string(i) + "\r\n";
  many[3] = '\0';  // the text ends at a NUL byte
  WriteFileAtomic(dir.path() / "many.no", many);
  EXPECT_EQ(ReadColourFile(dir.path() / "many.no"),
            (ColourSet{"0", "", "", "", "", "", "", "", "", "", "", ""}));
  EXPECT_THROW(ReadColourFile(dir.path() / "missing.no"), FileError);
}

TEST(ColourSettings, RefreshStopsAtTheFileThatCannotBeWritten) {
  testutil::TempDir dir;
  WriteFileAtomic(dir.path() / "color.no", "old");
  // A folder where the preview style sheet goes: nothing after it happens.
  std::filesystem::create_directories(dir.path() / "s_style.css" / "inside");
  bool navigated = false;
  try {
    RefreshStyleFiles(dir.path(), Colours(), [&] { navigated = true; });
    FAIL() << "the refresh went through";
  } catch (const FileError& error) {
    EXPECT_EQ(error.file(), dir.path() / "s_style.css");
  }
  EXPECT_FALSE(navigated);
  EXPECT_EQ(ReadBytes(dir.path() / "color.no"), "old");

  // The colour file failing comes after the preview sheet and the view.
  std::filesystem::remove_all(dir.path() / "s_style.css");
  std::filesystem::remove(dir.path() / "color.no");
  std::filesystem::create_directories(dir.path() / "color.no" / "inside");
  try {
    RefreshStyleFiles(dir.path(), Colours(), [&] { navigated = true; });
    FAIL() << "the refresh went through";
  } catch (const FileError& error) {
    EXPECT_EQ(error.file(), dir.path() / "color.no");
  }
  EXPECT_TRUE(navigated);
  EXPECT_EQ(ReadBytes(dir.path() / "s_style.css"), StyleSheetText(Colours()));
}

TEST(ShippedSite, RequiredPagesCarryTheCreditLineAndTheSitesStyleSheet) {
  const std::filesystem::path req =
      std::filesystem::path(VARNOKEL_SOURCE_DIR) / "res" / "site" / "html" / "req";
  for (const char* name : {"skillber.htm", "about.htm", "impr.htm"}) {
    SCOPED_TRACE(name);
    const std::string page = ReadBytes(req / name);
    EXPECT_NE(page.find(CreditLine()), std::string::npos);
    EXPECT_NE(page.find(R"(<link rel="stylesheet" href="../style.css" type=text/css>)"),
              std::string::npos);
  }
}

TEST(ShippedSite, EveryPageDeclaresUtf8AndTheViewportFirstInItsHead) {
  const std::string head =
      R"(<head><meta charset="utf-8"><meta name="viewport" content="width=device-width, initial-scale=1">)";
  const std::filesystem::path res = std::filesystem::path(VARNOKEL_SOURCE_DIR) / "res";
  for (const char* name : {"site/html/req/skillber.htm", "site/html/req/about.htm",
                           "site/html/req/impr.htm", "views/varnokel_design.htm"}) {
    SCOPED_TRACE(name);
    const std::string page = ReadBytes(res / name);
    EXPECT_NE(page.find(head), std::string::npos);
    EXPECT_TRUE(IsUtf8(page));
  }
  for (Page page : {Page::kSkillTable, Page::kSessionsTable, Page::kPlayerList, Page::kWeaponPage,
                    Page::kWeaponSummary, Page::kPlayer})
    EXPECT_EQ(PageHead(page).substr(0, 6 + head.size()), "<html>" + head);
}

TEST(ColourSettings, HtmlColour) {
  EXPECT_EQ(HtmlColour(18, 52, 86), "#123456");
  EXPECT_EQ(HtmlColour(0, 0, 255), "#0000ff");
  EXPECT_EQ(HtmlColour(0, 255, 0), "#00ff00");
  EXPECT_EQ(HtmlColour(255, 0, 0), "#ff0000");
  EXPECT_EQ(HtmlColour(0, 0, 0), "#000000");
}

}  // namespace
}  // namespace varnokel
