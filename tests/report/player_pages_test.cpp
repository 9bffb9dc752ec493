// Player pages, byte for byte.
#include <gtest/gtest.h>

#include "report/player_pages.h"
#include "tests/report/report_test_util.h"

namespace varnokel {
namespace {

using testutil::Fill;
using testutil::Fixture;
using testutil::ProgramFolder;

const char* const kNames[] = {"usp",   "glock18", "deagle",  "p228", "dualbaretta", "fiveseven",
                              "m3",    "xm1014",  "mp5navy", "tmp",  "p90",         "mac10",
                              "ump45", "ak47",    "sg552",   "m4a1", "aug",         "scout",
                              "awp",   "g3",      "sg550",   "para", "knife",       "grenade"};

struct WeaponLine {
  int weapon;
  int share;
  std::string kills;
};

std::string WeaponRow(const WeaponLine& line) {
  return Fill(Fixture("player_weapon_row.tpl"), {{"N", kNames[line.weapon]},
                                                 {"S", std::to_string(line.share)},
                                                 {"R", std::to_string(100 - line.share)},
                                                 {"F", line.kills}});
}

// The whole expected page: rows for the listed weapons first, in the order
// given, then every other weapon with share 0 and kills "0" in weapon order.
std::string ExpectedPage(const std::string& name, const std::string& skill,
                         const std::vector<WeaponLine>& first, const std::string& time,
                         std::map<std::string, std::string> counters = {}) {
  std::string page = Fixture("player_head.htm") +
                     Fill(Fixture("player_part_a.tpl"), {{"name", name}, {"skill", skill}});
  std::vector<bool> done(24);
  for (const WeaponLine& line : first) {
    page += WeaponRow(line);
    done[line.weapon] = true;
  }
  for (int w = 0; w < 24; ++w)
    if (!done[w]) page += WeaponRow({w, 0, "0"});
  std::vector<std::pair<std::string, std::string>> values = {{"time", time}};
  for (int f = 4; f <= 17; ++f) {
    const std::string key = std::string("f").append(std::to_string(f));
    values.emplace_back(key, counters.count(key) ? counters[key] : "0");
  }
  return page + Fill(Fixture("player_part_bc.tpl"), values) + testutil::PlayerFooter();
}

std::string PageOf(const ProgramFolder& site) {
  return PlayerPage(site.Listing().at(0));
}

TEST(PlayerPage, SharesOfTheKillsInField7) {
  ProgramFolder site;
  site.AddPlayer("a", "Ann", {{7, "3"}, {20, "1"}});
  // 100000 / 3 = 33333; * 1 / 1000 = 33. Skill 1 * 12 * 10 / 1 = 120.
  EXPECT_EQ(PageOf(site), ExpectedPage("Ann", "120", {{0, 33, "1"}}, "00:00:00", {{"f7", "3"}}));
}

TEST(PlayerPage, SevenKillsWithOneWeaponGive99Percent) {
  ProgramFolder site;
  site.AddPlayer("a", "Seven", {{7, "7"}, {33, "7"}, {6, "1"}, {19, "3725"}});
  EXPECT_EQ(PageOf(site),
            ExpectedPage("Seven", "455", {{13, 99, "7"}}, "01:02:05", {{"f7", "7"}, {"f6", "1"}}));
}

TEST(PlayerPage, NoKillsAndKillsBeyondField7) {
  ProgramFolder site;
  site.AddPlayer("a", "Nobody", {{19, "59"}});
  EXPECT_EQ(PageOf(site), ExpectedPage("Nobody", "0", {}, "00:00:59"));

  // Weapon kills beyond field 7: 100000 / 2 * 3 / 1000 = 150, remainder -50.
  // Without kills in field 7 the shares are cut from 100000 / 1.
  ProgramFolder more;
  more.AddPlayer("b", "More", {{7, "2"}, {38, "3"}, {19, "360000"}});
  EXPECT_EQ(PageOf(more),
            ExpectedPage("More", "360", {{18, 150, "3"}}, "100:00:00", {{"f7", "2"}}));
  ProgramFolder zero;
  zero.AddPlayer("c", "Zero", {{21, "2"}});
  EXPECT_EQ(PageOf(zero), ExpectedPage("Zero", "360", {{1, 200, "2"}}, "00:00:00"));
}

TEST(PlayerPage, WeaponRowsByKillsThenWeaponOrder) {
  ProgramFolder site;
  site.AddPlayer("a", "Two guns",
                 {{7, "10"},
                  {38, "6"},
                  {20, "4"},
                  {4, "2"},
                  {5, "3"},
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
  // awp 6 * 12 + usp 4 * 12 = 120 weighted; bonus 10 * (1 + 2 + 9 + 6) = 180.
  EXPECT_EQ(PageOf(site),
            ExpectedPage("Two guns", "1380", {{18, 60, "6"}, {0, 40, "4"}}, "00:00:00",
                         {{"f7", "10"},
                          {"f4", "2"},
                          {"f5", "3"},
                          {"f8", "1"},
                          {"f9", "2"},
                          {"f10", "3"},
                          {"f11", "4"},
                          {"f12", "5"},
                          {"f13", "6"},
                          {"f14", "7"},
                          {"f15", "8"},
                          {"f16", "9"},
                          {"f17", "11"}}));
}

TEST(PlayerPage, ShortFileShowsEmptyCellsAndTextsEscaped) {
  ProgramFolder site;
  site.AddPlayer("x", "x\r\n\r\n\r\nA<b>\r\n1&2");
  const std::string page = PageOf(site);
  std::string expected =
      Fixture("player_head.htm") +
      Fill(Fixture("player_part_a.tpl"), {{"name", "A&lt;b&gt;"}, {"skill", "0"}});
  for (int w = 0; w < 24; ++w) expected += WeaponRow({w, 0, ""});
  std::vector<std::pair<std::string, std::string>> values = {{"time", "00:00:00"}};
  for (int f = 4; f <= 17; ++f)
    values.emplace_back(std::string("f").append(std::to_string(f)), f == 4 ? "1&amp;2" : "");
  expected += Fill(Fixture("player_part_bc.tpl"), values) + testutil::PlayerFooter();
  EXPECT_EQ(page, expected);
}

TEST(PlayerPage, ReservedStems) {
  EXPECT_TRUE(IsReservedPageStem("st"));
  EXPECT_TRUE(IsReservedPageStem("wt"));
  EXPECT_FALSE(IsReservedPageStem("ST"));
  EXPECT_FALSE(IsReservedPageStem("style"));
}

}  // namespace
}  // namespace varnokel
