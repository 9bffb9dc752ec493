// SPDX-License-Identifier: GPL-3.0-or-later
// The skill table, sessions table and player list, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <numeric>
#include <random>
#include <stdexcept>

#include "base/file_io.h"
#include "report/html_escape.h"
#include "report/page_frame.h"
#include "report/page_template.h"
#include "report/page_templates.h"
#include "report/player_list.h"
#include "report/ranked_table.h"
#include "report/sessions_table.h"
#include "report/skill_table.h"
#include "tests/report/embed_check.h"
#include "tests/report/report_test_util.h"

namespace varnokel {
namespace {

// The exchange sort PlayerListOrder follows, done as it is defined:
// quadratic, comparing names as unsigned bytes.
std::vector<size_t> ExchangeSortOrder(const std::vector<std::string_view>& names) {
  std::vector<size_t> order(names.size());
  std::iota(order.begin(), order.end(), size_t{0});
  for (size_t i = 0; i < order.size(); ++i)
    for (size_t j = i; j < order.size(); ++j)
      if (names[order[j]].compare(names[order[i]]) < 0) std::swap(order[i], order[j]);
  return order;
}

using testutil::Fill;
using testutil::ProgramFolder;
using testutil::Template;

// A row of the skill table (value: the skill), the sessions table (value: the
// time text) or the player list (place: the running number).
std::string Row(const char* tpl, int place, const std::string& id, const std::string& name,
                const std::string& value = {}) {
  const std::string number = std::to_string(place);
  return Fill(Template(tpl), {{"place", number},
                              {"number", number},
                              {"id", id},
                              {"name", name},
                              {"skill", value},
                              {"time", value}});
}

TEST(PageFrame, HeadsAndFootersAreTheSitesOwnTexts) {
  EXPECT_EQ(PageHead(Page::kSkillTable), Template("skill_table_head.htm"));
  EXPECT_EQ(PageHead(Page::kSessionsTable), Template("sessions_table_head.htm"));
  EXPECT_EQ(PageHead(Page::kPlayerList), Template("player_list_head.htm"));
  EXPECT_EQ(PageHead(Page::kWeaponPage), Template("weapon_page_head.htm"));
  EXPECT_EQ(PageHead(Page::kWeaponSummary), Template("weapon_summary_head.htm"));
  EXPECT_EQ(PageHead(Page::kPlayer), Template("player_page_head.htm"));
  EXPECT_EQ(TablePageFooter(), testutil::TableFooter());
  EXPECT_EQ(PlayerPageFooter(), testutil::PlayerFooter());
  EXPECT_NE(CreditLine().find(" - <a href=\"https://"), std::string_view::npos);
  EXPECT_NE(CreditLine().find("target=_blank"), std::string_view::npos);
  for (Page page : {Page::kSkillTable, Page::kSessionsTable, Page::kPlayerList, Page::kWeaponPage,
                    Page::kWeaponSummary, Page::kPlayer})
    EXPECT_EQ(PageHead(page).find_first_of("\r\n"), std::string_view::npos);
}

TEST(PageTemplates, EmbeddedByteForByteWithoutLineBreaks) {
  const std::filesystem::path source = VARNOKEL_SOURCE_DIR;
  for (const auto& [file_name, text] : templates::kFiles) {
    SCOPED_TRACE(file_name);
    EXPECT_EQ(text, Template(file_name));
    EXPECT_EQ(text.find_first_of("\r\n"), std::string_view::npos);
  }
  // Every byte value, and escapes followed by digits, quotes and "??".
  EXPECT_EQ(testdata::kEmbedCheck,
            ReadFileBytes(source / "tests" / "report" / "data" / "embed_check.bin"));
}

TEST(PageTemplates, SlotsFilledByName) {
  std::string out = "x";
  const PageTemplate tpl("<{a}|{b_c}|{a}|{A}|{}|{ a}|{a|}{", {"b_c", "a", "unused"});
  tpl.Append(out, {"2", "{b_c}", "3"});
  EXPECT_EQ(out, "x<{b_c}|2|{b_c}|{A}|{}|{ a}|{a|}{");
  out.clear();
  PageTemplate("no slots {", {}).Append(out, {});
  EXPECT_EQ(out, "no slots {");
  EXPECT_THROW(PageTemplate("<{missing}>", {"a"}), std::logic_error);
  EXPECT_THROW(tpl.Append(out, {"2", "1"}), std::logic_error);
  // Values and pieces of every length a row has, and one slot filled ahead.
  for (size_t length = 0; length <= 100; ++length) {
    const std::string value(length, static_cast<char>('a' + length % 26));
    const std::string piece(length, '-');
    // Appended piece by piece: GCC 12 at -O3 misreads "a" + b + ... as overlapping.
    std::string text, expected = "x";
    text.append(piece).append("{v}").append(piece).append("{w}{v}");
    expected.append(piece).append(value).append(piece).append("W").append(value);
    out.assign(1, 'x');
    PageTemplate(FillSlot(text, "w", "W"), {"v"}).Append(out, {value});
    EXPECT_EQ(out, expected) << length;
  }
}

TEST(HtmlEscape, NamesAndIds) {
  EXPECT_EQ(HtmlEscape(R"(a&b<c>"d'e)"), "a&amp;b&lt;c&gt;&quot;d&#39;e");
  EXPECT_EQ(HtmlEscape("Zed \xE4"), "Zed \xE4");
  EXPECT_EQ(PercentEncode("STEAM_0:1:4711"), "STEAM_0%3A1%3A4711");
  EXPECT_EQ(PercentEncode("Az09-_.~"), "Az09-_.~");
  EXPECT_EQ(PercentEncode(std::string("a b/#?\"<\xE4\x01", 10)), "a%20b%2F%23%3F%22%3C%E4%01");
  EXPECT_EQ(PercentEncode("%41"), "%2541");
}

TEST(SkillTable, RanksWithSharedPlacesAndListingOrderForTies) {
  ProgramFolder site;
  site.AddPlayer("p1", "Carl", {{8, "30"}});              // 300
  site.AddPlayer("p2", "Ann", {{8, "50"}});               // 500
  site.AddPlayer("p3", "Bea", {{8, "10"}});               // 100
  site.AddPlayer("p4", "Dan", {{16, "20"}, {13, "10"}});  // 300
  // 3 ak47 and 1 knife kills, 4 deaths, 1 bomb planted: 890 / 5 + 10.
  site.AddPlayer("p5", "Eve", {{33, "3"}, {42, "1"}, {6, "4"}, {13, "1"}});
  // Weighted 1 is impossible with the weights; one usp kill and 2 deaths: 120 / 3.
  site.AddPlayer("p6", "Fay", {{20, "1"}, {6, "2"}});
  site.AddPlayer("p7", "Gus", {});
  const std::string expected =
      Template("skill_table_head.htm") + Row("skill_table_row.htm", 1, "p2", "Ann", "500") +
      Row("skill_table_row.htm", 2, "p1", "Carl", "300") +
      Row("skill_table_row.htm", 2, "p4", "Dan", "300") +
      Row("skill_table_row.htm", 4, "p5", "Eve", "188") +
      Row("skill_table_row.htm", 5, "p3", "Bea", "100") +
      Row("skill_table_row.htm", 6, "p6", "Fay", "40") +
      Row("skill_table_row.htm", 7, "p7", "Gus", "0") + testutil::TableFooter();
  EXPECT_EQ(SkillTablePage(site.Listing()), expected);
}

TEST(SkillTable, EmptyDatabaseAndSinglePlayer) {
  ProgramFolder site;
  EXPECT_EQ(SkillTablePage(site.Listing()),
            Template("skill_table_head.htm") + testutil::TableFooter());
  site.AddPlayer("4711", "Solo", {});
  EXPECT_EQ(SkillTablePage(site.Listing()), Template("skill_table_head.htm") +
                                                Row("skill_table_row.htm", 1, "4711", "Solo", "0") +
                                                testutil::TableFooter());
}

// Large tables are ordered by counting bytes: the rows must be those of a
// stable comparison sort, for negative and extreme values and ties too.
TEST(RankedTable, LargeTablesRankAsAStableSortDoes) {
  std::mt19937 random(7);
  for (size_t n : {size_t{511}, size_t{512}, size_t{20000}}) {
    std::vector<int32_t> values(n);
    for (int32_t& value : values) {
      const uint32_t r = static_cast<uint32_t>(random());
      value = r % 4 == 0   ? static_cast<int32_t>(r % 5)
              : r % 4 == 1 ? -static_cast<int32_t>(r % 300)
              : r % 4 == 2 ? static_cast<int32_t>(r)
                           : (r & 4 ? INT32_MAX : INT32_MIN);
    }
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return values[a] > values[b]; });
    const std::vector<RankedRow> rows = RankedTable(values);
    ASSERT_EQ(rows.size(), n);
    int32_t place = 0;
    for (size_t k = 0; k < n; ++k) {
      if (k == 0 || values[order[k]] != values[order[k - 1]]) place = static_cast<int32_t>(k + 1);
      ASSERT_EQ(rows[k].index, order[k]) << n << " values, row " << k;
      ASSERT_EQ(rows[k].place, place) << n << " values, row " << k;
    }
  }
}

TEST(SessionsTable, TimeTexts) {
  EXPECT_EQ(SessionTimeText(3725), "1:02:05");
  EXPECT_EQ(SessionTimeText(59), "0:00:59");
  EXPECT_EQ(SessionTimeText(610), "0:10:10");
  EXPECT_EQ(SessionTimeText(0), "0:00:00");
  EXPECT_EQ(SessionTimeText(360000), "100:00:00");
  EXPECT_EQ(SessionTimeText(-3725), "-1:02:05");
  EXPECT_EQ(SessionTimeText(INT32_MIN), "-596523:14:08");
  EXPECT_EQ(PlayerTimeText(3725), "01:02:05");
  EXPECT_EQ(PlayerTimeText(59), "00:00:59");
  EXPECT_EQ(PlayerTimeText(610), "00:10:10");
  EXPECT_EQ(PlayerTimeText(360000), "100:00:00");
}

TEST(SessionsTable, RanksByPlayingTime) {
  ProgramFolder site;
  site.AddPlayer("a", "Short", {{19, "60"}});
  site.AddPlayer("b", "Long", {{19, "7200"}});
  site.AddPlayer("c", "Also long", {{19, "7200"}});
  site.AddPlayer("d", "Broken", {{19, "abc"}});
  site.AddPlayer("e", "Odd", {{19, "3725"}});
  site.AddPlayer("f", "Empty", {{19, ""}});
  const std::string expected = Template("sessions_table_head.htm") +
                               Row("sessions_table_row.htm", 1, "b", "Long", "2:00:00") +
                               Row("sessions_table_row.htm", 1, "c", "Also long", "2:00:00") +
                               Row("sessions_table_row.htm", 3, "e", "Odd", "1:02:05") +
                               Row("sessions_table_row.htm", 4, "a", "Short", "0:01:00") +
                               Row("sessions_table_row.htm", 5, "d", "Broken", "0:00:00") +
                               Row("sessions_table_row.htm", 5, "f", "Empty", "0:00:00") +
                               testutil::TableFooter();
  EXPECT_EQ(SessionsTablePage(site.Listing()), expected);
}

TEST(PlayerList, SortsByUnsignedBytes) {
  ProgramFolder site;
  site.AddPlayer("1", "bob", {});
  site.AddPlayer("2", "Alice", {});
  site.AddPlayer("3", "alice", {});
  site.AddPlayer("4", "Max2", {});
  site.AddPlayer("5", "Max", {});
  site.AddPlayer("6", "", {});
  site.AddPlayer("7", "\xE4rger", {});
  site.AddPlayer("8", "Zed", {});
  // By the raw bytes, not by the UTF-8 shown: the Windows-1252 euro sign
  // (0x80, shown E2 82 AC) comes before the UTF-8 letter D0 98.
  site.AddPlayer("9", "\xD0\x98", {});
  site.AddPlayer("\x80", "\x80", {});  // the link keeps the raw id byte
  const std::string expected =
      Template("player_list_head.htm") + Row("player_list_row.htm", 1, "6", "") +
      Row("player_list_row.htm", 2, "2", "Alice") + Row("player_list_row.htm", 3, "5", "Max") +
      Row("player_list_row.htm", 4, "4", "Max2") + Row("player_list_row.htm", 5, "8", "Zed") +
      Row("player_list_row.htm", 6, "3", "alice") + Row("player_list_row.htm", 7, "1", "bob") +
      Row("player_list_row.htm", 8, "%80", "\xE2\x82\xAC") +
      Row("player_list_row.htm", 9, "9", "\xD0\x98") +
      Row("player_list_row.htm", 10, "7", "\xC3\xA4rger") + testutil::TableFooter();
  EXPECT_EQ(PlayerListPage(site.Listing()), expected);
}

TEST(PlayerList, EqualNamesFollowTheExchangeSort) {
  // The exchange sort carries the smallest name to the front and leaves the
  // one it replaced where the smaller came from: equal names get reordered.
  std::vector<std::string_view> names = {"b", "b", "a", "b", "a"};
  EXPECT_EQ(ExchangeSortOrder(names), (std::vector<size_t>{2, 4, 0, 3, 1}));
  EXPECT_EQ(PlayerListOrder(names), ExchangeSortOrder(names));

  std::mt19937 random(4711);
  const std::vector<std::string> pool = {"", "a", "a", "ab", "b", "B", "\xE4", "Max", "Max2"};
  for (int round = 0; round < 1500; ++round) {
    const size_t n = random() % 120;
    const size_t kinds = 1 + random() % pool.size();
    std::vector<std::string_view> list;
    for (size_t i = 0; i < n; ++i) list.push_back(pool[random() % kinds]);
    ASSERT_EQ(PlayerListOrder(list), ExchangeSortOrder(list)) << "round " << round;
  }
  // One name for everybody, as with many players still named "Unknown".
  const std::vector<std::string_view> same(257, "Unknown");
  EXPECT_EQ(PlayerListOrder(same), ExchangeSortOrder(same));
  // Long descending runs make the longest chains.
  std::vector<std::string> descending;
  for (int i = 300; i > 0; --i) descending.push_back(std::to_string(1000 + i / 3));
  std::vector<std::string_view> views(descending.begin(), descending.end());
  EXPECT_EQ(PlayerListOrder(views), ExchangeSortOrder(views));
}

TEST(PlayerList, ExchangeSortOrderHoldsForLargerListsAndOtherSeeds) {
  // Sizes around the powers of two where the counting tree changes depth, and
  // lists with many players per name (few names) or a spread of short names.
  const std::vector<size_t> sizes = {127, 128, 129, 255, 256, 257, 511, 512, 513, 700};
  for (unsigned seed : {1u, 99u, 20030315u}) {
    std::mt19937 random(seed);
    for (size_t n : sizes) {
      std::vector<std::string> pool(1 + random() % (n % 2 ? 4 : 40));
      for (std::string& name : pool)
        for (size_t length = random() % 3; length > 0; --length)
          name += "aAb\xE4\x01"[random() % 5];
      std::vector<std::string_view> list;
      for (size_t i = 0; i < n; ++i) list.push_back(pool[random() % pool.size()]);
      ASSERT_EQ(PlayerListOrder(list), ExchangeSortOrder(list)) << "seed " << seed << " n " << n;
    }
  }
}

TEST(Tables, HostileNamesAndIdsAreEscaped) {
  ProgramFolder site;
  site.AddPlayer("STEAM_0:1:4711", "<script>alert('x')</script> & \"co\"", {});
  const std::string name = "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;co&quot;";
  const PlayerListing listing = site.Listing();
  EXPECT_EQ(SkillTablePage(listing),
            Template("skill_table_head.htm") +
                Row("skill_table_row.htm", 1, "STEAM_0%3A1%3A4711", name, "0") +
                testutil::TableFooter());
  EXPECT_EQ(PlayerListPage(listing), Template("player_list_head.htm") +
                                         Row("player_list_row.htm", 1, "STEAM_0%3A1%3A4711", name) +
                                         testutil::TableFooter());
}

}  // namespace
}  // namespace varnokel
