// SPDX-License-Identifier: GPL-3.0-or-later
// The history pages from a known set of store rows: the numbers they show,
// names and map names that stay text, the navigation on every page, and a
// second run that rewrites only what changed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "base/file_io.h"
#include "report/history_frame.h"
#include "report/history_site.h"
#include "report/report_run.h"
#include "report/search_index.h"
#include "tests/report/report_test_util.h"

namespace varnokel {
namespace {

namespace fs = std::filesystem;
using testutil::ReadBytes;

constexpr std::string_view kHostileName = "<img src=x onerror=alert(1)>";
constexpr std::string_view kHostileMap = "../../etc/passwd";

DayNumber Day(std::string_view text) {
  DayNumber day = 0;
  EXPECT_TRUE(ParseDay(text, day)) << text;
  return day;
}

// The moment of "YYYY-MM-DD HH:MM".
int64_t Moment(std::string_view text) {
  return int64_t{Day(text.substr(0, 10))} * 86400 +
         std::stoi(std::string(text.substr(11, 2))) * 3600 +
         std::stoi(std::string(text.substr(14, 2))) * 60;
}

// Ann plays two maps on two servers this week, renamed from "Annika"; the
// hostile player only last month; the bot now and then.
SiteHistory KnownHistory(int64_t ann_kills_today = 5) {
  SiteHistoryBuilder b;
  const uint32_t ann = b.Player("STEAM_0:1:4711"), evil = b.Player("666"), bot = b.Player("BOT");
  const uint32_t dust = b.Map("de_dust2"), bad = b.Map(kHostileMap);
  const uint32_t one = b.Server("eins"), two = b.Server("zwei");
  SiteHistory& h = b.history();
  h.days = {{ann, Day("2026-12-07"), dust, one, ann_kills_today, 2, 3, 1800, 1},
            {ann, Day("2026-12-03"), bad, two, 4, 4, 0, 600, 0},
            {evil, Day("2026-11-12"), dust, one, 9, 1, 9, 300, 0},
            {bot, Day("2026-12-07"), dust, one, 7, 7, 0, 0, 0}};
  h.weapons = {{ann, Day("2026-12-07"), "ak47", ann_kills_today, 3},
               {ann, Day("2026-12-03"), "galil", 4, 0},
               {evil, Day("2026-11-12"), "awp", 9, 9}};
  h.names = {{ann, "Annika", Day("2026-12-03"), Day("2026-12-03")},
             {ann, "Ann", Day("2026-12-07"), Day("2026-12-07")},
             {evil, std::string(kHostileName), Day("2026-11-12"), Day("2026-11-12")},
             {bot, "Bot Bob", Day("2026-12-07"), Day("2026-12-07")}};
  h.sessions = {{evil, Moment("2026-11-12 20:00"), Moment("2026-11-12 20:05"), dust, one},
                {ann, Moment("2026-12-03 23:55"), Moment("2026-12-04 00:05"), bad, two},
                {ann, Moment("2026-12-07 17:00"), Moment("2026-12-07 17:30"), dust, one}};
  h.map_days = {{dust, Day("2026-12-07"), 2, 45}, {bad, Day("2026-12-03"), 1, 10}};
  return b.Take();
}

// Writes the history pages of `history` into `html` as a report run does.
SiteChanges WriteHistory(const fs::path& html, const SiteHistory& history) {
  // The index beside the folder, as a database keeps it.
  SiteWriter site(SiteTarget{html, LockWait::kWait, {}}, html.parent_path() / ".site-index",
                  Fingerprint{});
  HistorySite pages(history, testutil::kReportTime);
  pages.AddTo(site);
  return site.Commit();
}

std::vector<std::string> PageNames(const fs::path& html) {
  std::vector<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(html)) {
    const std::string name = entry.path().lexically_relative(html).string();
    if (name.ends_with(".htm") || name.ends_with(".html")) names.push_back(name);
  }
  return names;
}

size_t Count(std::string_view text, std::string_view part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string_view::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

TEST(HistoryPages, ShowTheStoresNumbersAndKeepNamesAsText) {
  testutil::TempDir dir;
  const fs::path html = dir.path() / "html";
  const SiteHistory history = KnownHistory();
  WriteHistory(html, history);

  const std::string overview = ReadBytes(html / "index.html");
  EXPECT_NE(overview.find("Stand: 07.12.2026, 18:04"), std::string::npos);
  // Players in all, active in 7 and 30 days, kills today and in 7 days; the bot counts in none.
  for (const char* tile :
       {"Spieler insgesamt<br><b class=ueberschrift>2<",
        "aktiv in 7 Tagen<br><b class=ueberschrift>1<",
        "aktiv in 30 Tagen<br><b class=ueberschrift>2<", "Kills heute<br><b class=ueberschrift>5<",
        "Kills in 7 Tagen<br><b class=ueberschrift>9<"})
    EXPECT_NE(overview.find(tile), std::string::npos) << tile;
  EXPECT_NE(overview.find("Bots"), std::string::npos);
  EXPECT_NE(overview.find("7 Kills, 7 Tode"), std::string::npos);
  EXPECT_NE(overview.find("<title>Übersicht - Varnokel Statistiken</title>"), std::string::npos);
  EXPECT_NE(overview.find("<svg"), std::string::npos);

  // Ann's skill this week: (5 * ak47 weight) * 10 / (6 + 1) + 10 per objective; galil weighs
  // nothing.
  const std::string history_page = ReadBytes(html / "verlauf.htm");
  EXPECT_NE(history_page.find("Monat 11.2026"), std::string::npos);
  EXPECT_NE(history_page.find("Monat 12.2026"), std::string::npos);

  // Names and map names are text wherever they appear; map pages stay in their folder.
  const std::string bad_map = MapPageName(kHostileMap);
  EXPECT_EQ(bad_map.rfind("karten/", 0), 0u);
  EXPECT_EQ(bad_map.find(".."), std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(html / bad_map));
  for (const std::string& name : PageNames(html)) {
    const std::string page = ReadBytes(html / name);
    EXPECT_EQ(page.find("<img src=x"), std::string::npos) << name;
    EXPECT_EQ(page.find("href=\"../../"), std::string::npos) << name;
  }
  const std::string evil_page = ReadBytes(html / PlayerHistoryPageName("666"));
  EXPECT_NE(evil_page.find("&lt;img src=x onerror=alert(1)&gt;"), std::string::npos);

  // Ann's page: both names, every weapon with headshots, the link to her table page, her
  // sessions.
  const std::string ann = ReadBytes(html / PlayerHistoryPageName("STEAM_0:1:4711"));
  for (const char* part : {"Annika", "galil", "ak47", "../STEAM_0%3A1%3A4711.htm", "03.12.2026",
                           ">2026-12-07 17:00:00<", ">2026-12-04 00:05:00<"})
    EXPECT_NE(ann.find(part), std::string::npos) << part;
  EXPECT_FALSE(fs::exists(html / PlayerHistoryPageName("BOT")));

  // Open data and the search index: Ann found by a part of her old name.
  const std::string players = ReadBytes(html / "daten/spieler.json");
  EXPECT_NE(players.find("{\"id\":\"STEAM_0:1:4711\",\"name\":\"Ann\",\"kills\":9,\"tode\":6,"
                         "\"headshots\":3,"),
            std::string::npos);
  EXPECT_NE(players.find("\\u003cimg"), std::string::npos);
  EXPECT_EQ(players.find("BOT"), std::string::npos);
  const std::string search = ReadBytes(html / "suche.htm");
  const uint32_t files = static_cast<uint32_t>(
      std::atoi(search.c_str() + search.find("var FILES = ") + std::strlen("var FILES = ")));
  const std::string by_old_name = ReadBytes(html / SearchFileName(SearchFileOf("ik", files)));
  EXPECT_NE(by_old_name.find("\"ik\":[0,[[\"STEAM_0:1:4711\",\"Ann\",\"Annika\"]]"),
            std::string::npos);
  const std::string by_id = ReadBytes(html / SearchFileName(SearchFileOf("47", files)));
  EXPECT_NE(by_id.find("\"47\":[0,[[\"STEAM_0:1:4711\""), std::string::npos);
}

// The players a key of the index lists: their entries and whether the list
// is cut short.
struct KeyList {
  bool cut = false;
  std::vector<std::string> ids;
};

KeyList ListOf(const SearchIndex& index, const std::string& key) {
  const std::string& text = index.texts[SearchFileOf(key, index.files)];
  const std::string head = "\"" + key + "\":[";
  const size_t at = text.find(head);
  if (at == std::string::npos) return {};
  KeyList list{text[at + head.size()] == '1', {}};
  const size_t end = text.find("]]", at);
  for (size_t entry = text.find("[\"", at); entry < end; entry = text.find("[\"", entry + 1))
    list.ids.push_back(text.substr(entry + 2, text.find('"', entry + 2) - entry - 2));
  return list;
}

// A key of more players than the limit lists the first hits a search shows,
// and its longer keys take over; a key within the limit lists every player.
TEST(SearchIndex, AKeyOfManyPlayersListsTheFirstAndLongerKeysTheRest) {
  constexpr int kPlayers = 120;
  constexpr size_t kLimit = 60;
  SiteHistoryBuilder b;
  for (int n = 0; n < kPlayers; ++n) {
    const uint32_t p = b.Player("id" + std::to_string(n));
    b.history().names.push_back(
        {p, "Spieler " + std::to_string(n), Day("2026-12-07"), Day("2026-12-07")});
  }
  b.history().names.push_back(
      {b.Player("BOT"), "Spieler Bot", Day("2026-12-07"), Day("2026-12-07")});
  const SiteHistory history = b.Take();
  const HistoryView view(history, testutil::kReportTime);
  const SearchIndex index = BuildSearchIndex(view, kLimit);

  const KeyList sp = ListOf(index, "sp");
  EXPECT_TRUE(sp.cut);
  ASSERT_EQ(sp.ids.size(), kSearchHits);
  EXPECT_EQ(sp.ids.front(), "id0");
  EXPECT_TRUE(ListOf(index, "spieler ").cut);
  // "spieler 1": 1, 10 to 19, 100 to 119.
  const KeyList one = ListOf(index, "spieler 1");
  EXPECT_FALSE(one.cut);
  EXPECT_EQ(one.ids.size(), 31u);
  EXPECT_TRUE(ListOf(index, "spieler 12").ids.empty());  // no key below a whole list
  const KeyList by_id = ListOf(index, "id");             // the id's last part counts too
  EXPECT_TRUE(by_id.cut);
  EXPECT_EQ(ListOf(index, "d7").ids,
            std::vector<std::string>({"id7", "id70", "id71", "id72", "id73", "id74", "id75", "id76",
                                      "id77", "id78", "id79"}));
  for (const std::string& text : index.texts) EXPECT_EQ(text.find("BOT"), std::string::npos);
}

// The third row, with the page's own entry plain or none, exactly once.
void ExpectOneThirdRow(const std::string& page, std::string_view up, const std::string& name) {
  size_t rows = 0;
  for (HistoryPage own : {HistoryPage::kOverview, HistoryPage::kMaps, HistoryPage::kHistory,
                          HistoryPage::kSearch, HistoryPage::kNone})
    rows += Count(page, HistoryNavigationRow(up, own));
  EXPECT_EQ(rows, 1u) << name;
  EXPECT_EQ(Count(page, "<a href=\"" + std::string(up) + "suche.htm\">suche</a>") +
                Count(page, "<span class=text>suche</span>"),
            1u)
      << name;
}

TEST(HistoryPages, ActivityByDayEndsAtTheLastGamesOfOldLogs) {
  testutil::TempDir dir;
  const fs::path html = dir.path() / "html";
  SiteHistoryBuilder b;
  const uint32_t ann = b.Player("STEAM_0:1:4711"), dust = b.Map("de_dust2");
  b.history().days = {{ann, Day("2003-03-15"), dust, 0, 3, 1, 0, 600, 0},
                      {ann, Day("2003-03-22"), dust, 0, 4, 2, 1, 900, 0}};
  WriteHistory(html, b.Take());
  EXPECT_NE(ReadBytes(html / "verlauf.htm").find("von 15.03. bis 22.03."), std::string::npos);
}

TEST(HistoryPages, EveryPageCarriesTheThirdNavigationRowOnce) {
  testutil::ProgramFolder site;
  site.AddPlayer("4711", "Ann", {{7, "2"}});
  ReportRun(site.root(), site.database(), ColourSet{}, testutil::kReportTime);
  testutil::TempDir dir;
  WriteHistory(dir.path() / "html", KnownHistory());
  for (const fs::path& html : {site.html(), dir.path() / "html"}) {
    for (const std::string& name : PageNames(html))
      ExpectOneThirdRow(ReadBytes(html / name), name.find('/') == std::string::npos ? "" : "../",
                        name);
  }
  const fs::path shipped = fs::path(VARNOKEL_SOURCE_DIR) / "res/site/html/req";
  for (const char* name : {"about.htm", "impr.htm", "skillber.htm"})
    ExpectOneThirdRow(ReadBytes(shipped / name), "../", name);
}

TEST(HistoryPages, SecondRunRewritesOnlyWhatChanged) {
  testutil::TempDir dir;
  WriteHistory(dir.path() / "html", KnownHistory());
  const SiteChanges same = WriteHistory(dir.path() / "html", KnownHistory());
  EXPECT_EQ(same.written, 0u);
  struct stat evil_before {};
  const fs::path html = dir.path() / "html";
  ASSERT_EQ(::stat((html / PlayerHistoryPageName("666")).c_str(), &evil_before), 0);
  // Ann kills once more today: her page and the pages that sum everybody change, not the others'.
  const SiteChanges changed = WriteHistory(dir.path() / "html", KnownHistory(6));
  struct stat evil_after {};
  ASSERT_EQ(::stat((html / PlayerHistoryPageName("666")).c_str(), &evil_after), 0);
  EXPECT_EQ(evil_after.st_ino, evil_before.st_ino);
  EXPECT_GE(changed.written, 4u);  // her page, the overview, a map page, spieler.json ...
  EXPECT_LT(changed.written, same.kept);
  EXPECT_NE(ReadBytes(html / PlayerHistoryPageName("STEAM_0:1:4711")).find(">6<"),
            std::string::npos);
  if (const char* keep = std::getenv("VARNOKEL_KEEP_HISTORY_SITE"))
    fs::copy(html, keep, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

}  // namespace
}  // namespace varnokel
