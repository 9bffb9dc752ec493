// SPDX-License-Identifier: GPL-3.0-or-later
// Player pages, byte for byte.
#include <gtest/gtest.h>

#include "report/player_pages.h"
#include "tests/report/report_test_util.h"

namespace varnokel {
namespace {

using testutil::Fill;
using testutil::ProgramFolder;
using testutil::Template;

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
  return Fill(Template("player_weapon_row.htm"), {{"weapon", kNames[line.weapon]},
                                                  {"share", std::to_string(line.share)},
                                                  {"rest", std::to_string(100 - line.share)},
                                                  {"kills", line.kills}});
}

// The slots of the behaviour rows and the field each shows.
const std::pair<const char*, int> kCounterSlots[] = {
    {"ct_joins", 4},         {"other_joins", 5},
    {"deaths", 6},           {"kills", 7},
    {"hostage_touched", 8},  {"hostage_killed", 9},
    {"hostage_rescued", 10}, {"bomb_spawned", 11},
    {"bomb_dropped", 12},    {"bomb_planted", 13},
    {"bomb_picked_up", 14},  {"defuse_without_kit", 15},
    {"bomb_defused", 16},    {"defuse_with_kit", 17}};

// The behaviour rows with the play time and the counters of fields 4 to 17
// (`counters` by field, every other counter `other`).
std::string BehaviourRows(const std::string& time, const std::map<int, std::string>& counters,
                          const std::string& other = "0") {
  std::vector<std::pair<std::string, std::string>> values = {{"play_time", time}};
  for (const auto& [slot, field] : kCounterSlots)
    values.emplace_back(slot, counters.count(field) ? counters.at(field) : other);
  return Fill(Template("player_behaviour_rows.htm"), values);
}

std::string TitleSkillAndWeaponHead(const std::string& name, const std::string& skill) {
  return Fill(Template("player_title_skill_and_weapon_head.htm"),
              {{"name", name}, {"skill", skill}});
}

// The whole expected page: rows for the listed weapons first, in the order
// given, then every other weapon with share 0 and kills "0" in weapon order.
std::string ExpectedPage(const std::string& name, const std::string& skill,
                         const std::vector<WeaponLine>& first, const std::string& time,
                         const std::map<int, std::string>& counters = {}) {
  std::string page = Template("player_page_head.htm") + TitleSkillAndWeaponHead(name, skill);
  std::vector<bool> done(24);
  for (const WeaponLine& line : first) {
    page += WeaponRow(line);
    done[line.weapon] = true;
  }
  for (int w = 0; w < 24; ++w)
    if (!done[w]) page += WeaponRow({w, 0, "0"});
  return page + BehaviourRows(time, counters) + testutil::PlayerFooter();
}

std::string PageOf(const ProgramFolder& site) {
  return PlayerPage(site.Listing().at(0));
}

TEST(PlayerPage, SharesOfTheKillsInField7) {
  ProgramFolder site;
  site.AddPlayer("a", "Ann", {{7, "3"}, {20, "1"}});
  // 100000 / 3 = 33333; * 1 / 1000 = 33. Skill 1 * 12 * 10 / 1 = 120.
  EXPECT_EQ(PageOf(site), ExpectedPage("Ann", "120", {{0, 33, "1"}}, "00:00:00", {{7, "3"}}));
}

TEST(PlayerPage, SevenKillsWithOneWeaponGive99Percent) {
  ProgramFolder site;
  site.AddPlayer("a", "Seven", {{7, "7"}, {33, "7"}, {6, "1"}, {19, "3725"}});
  EXPECT_EQ(PageOf(site),
            ExpectedPage("Seven", "455", {{13, 99, "7"}}, "01:02:05", {{7, "7"}, {6, "1"}}));
}

TEST(PlayerPage, NoKillsAndKillsBeyondField7) {
  ProgramFolder site;
  site.AddPlayer("a", "Nobody", {{19, "59"}});
  EXPECT_EQ(PageOf(site), ExpectedPage("Nobody", "0", {}, "00:00:59"));

  // Weapon kills beyond field 7: 100000 / 2 * 3 / 1000 = 150, remainder -50.
  // Without kills in field 7 the shares are cut from 100000 / 1.
  ProgramFolder more;
  more.AddPlayer("b", "More", {{7, "2"}, {38, "3"}, {19, "360000"}});
  EXPECT_EQ(PageOf(more), ExpectedPage("More", "360", {{18, 150, "3"}}, "100:00:00", {{7, "2"}}));
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
                         {{7, "10"},
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
                          {17, "11"}}));
}

TEST(PlayerPage, ShortFileShowsEmptyCellsAndTextsEscaped) {
  ProgramFolder site;
  site.AddPlayer("x", "x\r\n\r\n\r\nA<b>\r\n1&2");
  const std::string page = PageOf(site);
  std::string expected =
      Template("player_page_head.htm") + TitleSkillAndWeaponHead("A&lt;b&gt;", "0");
  for (int w = 0; w < 24; ++w) expected += WeaponRow({w, 0, ""});
  expected += BehaviourRows("00:00:00", {{4, "1&amp;2"}}, "") + testutil::PlayerFooter();
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
