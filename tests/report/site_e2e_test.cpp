// SPDX-License-Identifier: GPL-3.0-or-later
// End to end: a realistic server log through varnokel-cli into a fresh
// program folder, then every page of the site opened in headless Chromium.
// Every link and image of every page must lead to a file of the site, and no
// page may carry a script.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <set>
#include <sstream>

#include "base/file_io.h"
#include "db/event_store.h"
#include "report/colour_settings.h"
#include "report/history_frame.h"
#include "report/history_site.h"
#include "report/html_escape.h"
#include "report/report_run.h"
#include "report/search_index.h"
#include "tests/report/report_test_util.h"

namespace varnokel {
namespace {

namespace fs = std::filesystem;

const fs::path kStaged = VARNOKEL_PROGRAM_DIR;

// Runs a shell command, returning its standard output; `status` gets the exit status.
std::string Shell(const std::string& command, int* status) {
  std::string out;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int raw = ::pclose(pipe);
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return out;
}

std::string Quote(const fs::path& path) {
  std::string quoted = "'";
  for (char c : path.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string FindChromium() {
  for (const char* name : {"chromium", "chromium-browser", "google-chrome"}) {
    int status = 0;
    const std::string path = Shell(std::string("command -v ") + name + " 2>/dev/null", &status);
    if (status == 0 && !path.empty()) return path.substr(0, path.find('\n'));
  }
  return {};
}

// The attribute values as the browser serialises them: &amp; &quot; &lt; &gt;
// stand for their characters; then %XX is a byte of the file name.
std::string AttributeTarget(std::string value) {
  for (const auto& [entity, text] : std::vector<std::pair<std::string, std::string>>{
           {"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&#39;", "'"}, {"&amp;", "&"}}) {
    for (size_t at = value.find(entity); at != std::string::npos; at = value.find(entity, at + 1))
      value.replace(at, entity.size(), text);
  }
  std::string decoded;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '%' && i + 2 < value.size()) {
      decoded += static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      decoded += value[i];
    }
  }
  return decoded;
}

// The path as a file URL path: each component percent-encoded.
void AppendUrlPath(std::string& url, const fs::path& path) {
  for (const fs::path& part : path.relative_path()) {
    url += '/';
    AppendPercentEncoded(url, part.string());
  }
}

// The page's DOM as headless Chromium builds it, serialised as UTF-8.
std::string DumpDom(const std::string& chromium, const fs::path& profile, const fs::path& page,
                    int* status) {
  std::string url = "file://";
  AppendUrlPath(url, page);
  return Shell(chromium + " --headless --no-sandbox --disable-gpu --user-data-dir=" +
                   Quote(profile) + " --dump-dom '" + url + "' 2>/dev/null",
               status);
}

// Chromium with a virtual clock, so that the page's scripts run before the
// DOM is taken; file URLs may read each other (the width probe needs it).
std::string DumpDomAfterScripts(const std::string& chromium, const fs::path& profile,
                                const std::string& url) {
  int status = 0;
  return Shell(chromium +
                   " --headless --no-sandbox --disable-gpu --allow-file-access-from-files "
                   "--virtual-time-budget=5000 --user-data-dir=" +
                   Quote(profile) + " --dump-dom '" + url + "' 2>/dev/null",
               &status);
}

void CopyShippedFiles(const fs::path& target) {
  fs::create_directories(target / "html");
  fs::copy(kStaged / "html" / "req", target / "html" / "req", fs::copy_options::recursive);
  for (const auto& entry : fs::directory_iterator(kStaged / "html"))
    if (entry.path().extension() == ".gif") fs::copy(entry.path(), target / "html");
  for (const char* file : {"color.no", "buffer.no"}) fs::copy(kStaged / file, target / file);
  for (int n = 1; n <= 9; ++n)
    fs::create_directories(target / "Datenbanken" / ("db" + std::to_string(n)));
}

TEST(SiteEndToEnd, EveryPageOpensWithWorkingLinksAndImagesAndNoScript) {
  const fs::path cli = kStaged / "varnokel-cli";
  const fs::path log = kStaged / "samples" / "abend.log";
  ASSERT_TRUE(fs::exists(cli) && fs::exists(log) &&
              fs::exists(kStaged / "html" / "req" / "impr.htm"))
      << "the program folder is not staged completely";
  int status = 0;
  const std::string chromium = FindChromium();
  ASSERT_FALSE(chromium.empty()) << "chromium is needed (tools/install-deps.sh installs it)";

  testutil::TempDir dir;
  const fs::path program = dir.path() / "Programm Ordner";
  CopyShippedFiles(program);
  const std::string output = Shell(Quote(cli) + " --program-dir " + Quote(program) + " --load " +
                                       Quote(log) + " --update --report 2>&1",
                                   &status);
  ASSERT_EQ(status, 0) << output;
  EXPECT_NE(output.find(" HTML - Ausgabe 1 fertig..."), std::string::npos) << output;

  const fs::path html = program / "html";
  std::vector<fs::path> pages;
  for (const auto& entry : fs::recursive_directory_iterator(html))
    if (entry.path().extension() == ".htm" || entry.path().extension() == ".html")
      pages.push_back(entry.path());
  std::sort(pages.begin(), pages.end());
  ASSERT_GT(pages.size(), 4u + 24u + 3u + 5u) << "too few player pages";

  const std::regex attribute(R"re(\b(href|src)="([^"]*)")re");
  std::set<fs::path> linked;
  for (const fs::path& page : pages) {
    SCOPED_TRACE(page.string());
    const std::string dom = DumpDom(chromium, dir.path() / "chromium", page, &status);
    ASSERT_EQ(status, 0);
    ASSERT_NE(dom.find("</html>"), std::string::npos) << dom.substr(0, 200);
    // Only the search runs a script (in the browser, on the site's own index).
    if (page.filename() != "suche.htm") {
      EXPECT_EQ(dom.find("<script"), std::string::npos);
    }
    EXPECT_NE(dom.find("erstellt mit Varnokel Stats"), std::string::npos);
    for (std::sregex_iterator it(dom.begin(), dom.end(), attribute), end; it != end; ++it) {
      const std::string value = (*it)[2];
      if (value.rfind("https://", 0) == 0) continue;  // the credit line's home page
      const fs::path target = (page.parent_path() / AttributeTarget(value)).lexically_normal();
      EXPECT_TRUE(IsRegularFile(target)) << (*it)[1] << "=" << value;
      if ((*it)[1] == "src" && IsRegularFile(target)) {
        EXPECT_EQ(ReadFileBytes(target).substr(0, 6), "GIF89a") << value;
      }
      linked.insert(target);
    }
  }
  // Every page of the site is reached by some link; a player's history page
  // from the search, or from a ranking when he is in one.
  for (const fs::path& page : pages)
    if (page.parent_path().filename() != "spieler") {
      EXPECT_TRUE(linked.count(page)) << page;
    }
  EXPECT_TRUE(fs::is_regular_file(html / "daten" / "spieler.json"));
}

// The page's width in a frame 390 pixels wide, the width it scrolls to, its
// text size and the smallest text of its charts as drawn.
std::string NarrowWidths(const std::string& chromium, const fs::path& dir, const fs::path& page) {
  std::string url = "file://";
  AppendUrlPath(url, page);
  WriteFileAtomic(dir / "probe.htm",
                  "<html><body><iframe id=f style=\"width:390px;height:900px;border:0\" src=\"" +
                      url +
                      "\"></iframe><pre id=out></pre><script>document.getElementById('f')"
                      ".onload=function(){var d=this.contentDocument.documentElement;document."
                      "getElementById('out').textContent='BREITE '+d.scrollWidth+' '+d.clientWidth"
                      "+' SCHRIFT '+getComputedStyle(this.contentDocument.querySelector('main'))"
                      ".fontSize+' DIAGRAMM '+smallestChartText(this.contentDocument);};"
                      "function smallestChartText(doc){var least=99;doc.querySelectorAll("
                      "'svg text').forEach(function(t){var s=getComputedStyle(t),svg=t."
                      "ownerSVGElement;if(s.display=='none')return;least=Math.min(least,"
                      "parseFloat(s.fontSize)*svg.getBoundingClientRect().width/svg.viewBox."
                      "baseVal.width);});return least;}</script></body></html>");
  std::string probe = "file://";
  AppendUrlPath(probe, dir / "probe.htm");
  const std::string dom = DumpDomAfterScripts(chromium, dir / "chromium", probe);
  const size_t at = dom.find("BREITE ");
  return at == std::string::npos ? std::string() : dom.substr(at, dom.find('<', at) - at);
}

TEST(SiteEndToEnd, HistoryPagesFromTheStoreSearchAndNarrowScreens) {
  const std::string chromium = FindChromium();
  ASSERT_FALSE(chromium.empty()) << "chromium is needed (tools/install-deps.sh installs it)";
  testutil::TempDir dir;
  const fs::path program = dir.path() / "Programm";
  CopyShippedFiles(program);
  int status = 0;
  const std::string output =
      Shell(Quote(kStaged / "varnokel-cli") + " --program-dir " + Quote(program) + " --load " +
                Quote(kStaged / "samples" / "abend.log") + " --update --report 2>&1",
            &status);
  ASSERT_EQ(status, 0) << output;
  const fs::path html = program / "html";

  // The overview counts the players the store holds (bots left out).
  std::set<std::string> players;
  EventStore(program / "Datenbanken" / "db1", EventStore::Access::kRead)
      .ForEachRow("SELECT DISTINCT spieler FROM spieler_tage WHERE spieler <> 'BOT'",
                  [&](const std::vector<std::string>& row) { players.insert(row[0]); });
  ASSERT_GT(players.size(), 3u);
  EXPECT_NE(ReadFileText(html / "index.html")
                .find("Spieler insgesamt<br><b class=ueberschrift>" +
                      std::to_string(players.size()) + "<"),
            std::string::npos);

  // A player found by a part of a name he no longer uses.
  std::string id, old_name;
  EventStore(program / "Datenbanken" / "db1", EventStore::Access::kRead)
      .ForEachRow(
          "SELECT spieler, name FROM namen AS n WHERE spieler <> 'BOT' AND letzter_tag < "
          "(SELECT max(letzter_tag) FROM namen WHERE spieler = n.spieler) LIMIT 1",
          [&](const std::vector<std::string>& row) { id = row[0], old_name = row[1]; });
  if (old_name.empty()) {  // every name was last seen on the same day: any will do
    EventStore(program / "Datenbanken" / "db1", EventStore::Access::kRead)
        .ForEachRow("SELECT spieler, name FROM namen WHERE spieler <> 'BOT' LIMIT 1",
                    [&](const std::vector<std::string>& row) { id = row[0], old_name = row[1]; });
  }
  ASSERT_GE(old_name.size(), 4u);
  std::string url = "file://";
  AppendUrlPath(url, html / "suche.htm");
  url += "?q=";
  AppendPercentEncoded(url, old_name.substr(1, 3));
  const std::string results = DumpDomAfterScripts(chromium, dir.path() / "chromium", url);
  EXPECT_NE(results.find("href=\"spieler/" + SafeFileStem(id) + ".htm\""), std::string::npos)
      << old_name << "\n"
      << results;

  // No page scrolls sideways at 390 pixels, and its text, that of its charts
  // too, is 14 pixels or more.
  std::vector<fs::path> narrow = {html / "index.html", html / "karten.htm", html / "verlauf.htm",
                                  html / "suche.htm", html / PlayerHistoryPageName(id)};
  for (const auto& entry : fs::directory_iterator(html / "karten")) narrow.push_back(entry.path());
  for (const fs::path& page : narrow) {
    const std::string widths = NarrowWidths(chromium, dir.path(), page);
    std::istringstream in(widths);
    std::string word, font;
    int scroll = 0, client = 0;
    double chart_text = 0;
    in >> word >> scroll >> client >> word >> font >> word >> chart_text;
    EXPECT_TRUE(client > 0 && scroll <= client) << page << ": " << widths;
    EXPECT_GE(std::atof(font.c_str()), 14.0) << page << ": " << widths;
    EXPECT_GE(chart_text, 14.0) << page << ": " << widths;
  }
}

// The search of a site where one name part is shared by more players than a
// key lists: it walks on to longer keys, loading their files, and finds the
// same players as a look through every name would.
TEST(SiteEndToEnd, SearchWalksOnToLongerKeysWhenAKeyListsOnlyTheFirstPlayers) {
  const std::string chromium = FindChromium();
  ASSERT_FALSE(chromium.empty()) << "chromium is needed (tools/install-deps.sh installs it)";
  constexpr int kPlayers = 2 * static_cast<int>(kSearchFullListLimit);
  testutil::TempDir dir;
  SiteHistoryBuilder b;
  for (int n = 0; n < kPlayers; ++n) {
    const uint32_t p = b.Player("STEAM_0:0:" + std::to_string(n));
    b.history().names.push_back({p, "Spieler " + std::to_string(n), 0, 0});
  }
  const SiteHistory history = b.Take();
  const fs::path html = dir.path() / "html";
  SiteWriter site(SiteTarget{html, LockWait::kWait, {}}, dir.path() / ".site-index", Fingerprint{});
  HistorySite pages(history, testutil::kReportTime);
  pages.AddTo(site);
  site.Commit();

  // "spieler 12": 12 and 120 to 129 (through the whole list of "spieler 1");
  // "ieler" as long as a cut list: its first hits; "0:0:7" by the id.
  for (const auto& [query, hits] : {std::pair<std::string, std::string>{"Spieler 12", "11 Treffer"},
                                    {"ieler", "50+ Treffer"},
                                    {"0:0:799", "1 Treffer"},
                                    {"spieler 1x", "Kein Spieler gefunden."}}) {
    std::string url = "file://";
    AppendUrlPath(url, html / "suche.htm");
    url += "?q=";
    AppendPercentEncoded(url, query);
    const std::string dom = DumpDomAfterScripts(chromium, dir.path() / "chromium", url);
    EXPECT_NE(dom.find("<p id=\"hinweis\" aria-live=\"polite\">" + hits + "</p>"),
              std::string::npos)
        << query << "\n"
        << dom;
  }
}

TEST(SiteEndToEnd, UnicodeAndWindows1252NamesShowWithEveryLabelIntact) {
  const std::string chromium = FindChromium();
  ASSERT_FALSE(chromium.empty()) << "chromium is needed (tools/install-deps.sh installs it)";
  struct Player {
    std::string id, name, shown;
  };
  // A UTF-8 name, a Windows-1252 name (and id: its page keeps the raw byte in
  // its file name) and a name with 0x81, which Windows-1252 leaves undefined.
  const Player players[] = {{"utf8", "J\xC3\xBCrgen", "J\xC3\xBCrgen"},
                            {"J\xFC", "J\xF6rg \x80", "J\xC3\xB6rg \xE2\x82\xAC"},
                            {"c1", "Ctrl\x81X", "Ctrl\xC2\x81X"}};
  testutil::ProgramFolder site;
  for (const Player& player : players) site.AddPlayer(player.id, player.name, {{7, "1"}});
  ColourSet colours;
  colours.fill("#808080");
  ReportRun(site.root(), site.database(), colours);

  const char* const labels[] = {"Spielverhalten",
                                "Waffenverhalten",
                                "Skill:",
                                "Spielzeit:",
                                "Kills:",
                                "Death:",
                                "Team T gewählt:",
                                "Team CT gewählt:",
                                "Geisel angesprochen:",
                                "Geisel getötet:",
                                "Geisel gerettet:",
                                "Aufgewacht mit Bombe:",
                                "Bomben gelegt:",
                                "Bomben entschärft:",
                                "Angefangen zu entschärfen + Kit:",
                                "Angefangen zu entschärfen - Kit:",
                                "Bombe aufgelesen:",
                                "Bombe fallengelassen:",
                                "erstellt mit Varnokel Stats"};
  int status = 0;
  for (const Player& player : players) {
    SCOPED_TRACE(player.shown);
    const std::string dom =
        DumpDom(chromium, site.root() / "chromium", site.html() / (player.id + ".htm"), &status);
    ASSERT_EQ(status, 0);
    ASSERT_NE(dom.find("</html>"), std::string::npos) << dom.substr(0, 200);
    EXPECT_NE(dom.find("<b>" + player.shown + "</b>"), std::string::npos);
    for (const char* label : labels) EXPECT_NE(dom.find(label), std::string::npos) << label;
    EXPECT_EQ(dom.find("\xEF\xBF\xBD"), std::string::npos) << "a replacement character";
    EXPECT_EQ(dom.find("\xC3\x83"), std::string::npos) << "UTF-8 read as Windows-1252";
  }
  const std::string table =
      DumpDom(chromium, site.root() / "chromium", site.html() / "st.htm", &status);
  for (const Player& player : players) {
    std::string link = "<a href=\"";
    AppendPercentEncoded(link, player.id);
    EXPECT_NE(table.find(link + ".htm\">" + player.shown + "</a>"), std::string::npos)
        << player.shown;
  }
}

}  // namespace
}  // namespace varnokel
