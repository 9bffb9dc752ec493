// SPDX-License-Identifier: GPL-3.0-or-later
// Weapon pages and the weapon summary, byte for byte.
#include <gtest/gtest.h>

#include "report/report_run.h"
#include "report/weapon_pages.h"
#include "tests/report/report_test_util.h"

namespace varnokel {
namespace {

using testutil::Fill;
using testutil::ProgramFolder;
using testutil::Template;

constexpr int kUsp = 0, kAk47 = 13, kAwp = 18, kGrenade = 23;

std::string WeaponRow(int place, const std::string& id, const std::string& name, int share,
                      const std::string& weapon, int count) {
  return Fill(Template("weapon_page_row.htm"), {{"place", std::to_string(place)},
                                                {"id", id},
                                                {"name", name},
                                                {"share", std::to_string(share)},
                                                {"rest", std::to_string(100 - share)},
                                                {"weapon", weapon},
                                                {"kills", std::to_string(count)}});
}

std::string SummaryRow(int place, int share, const std::string& weapon, int total, int grand) {
  return Fill(Template("weapon_summary_row.htm"), {{"place", std::to_string(place)},
                                                   {"share", std::to_string(share)},
                                                   {"rest", std::to_string(100 - share)},
                                                   {"weapon", weapon},
                                                   {"total", std::to_string(total)},
                                                   {"grand_total", std::to_string(grand)}});
}

std::string Page(const std::string& head, const std::string& rows) {
  return Template(head) + rows + testutil::TableFooter();
}

TEST(WeaponPage, SharesAreCutFrom100000DividedByTheTotal) {
  ProgramFolder site;
  site.AddPlayer("a", "One", {{20, "1"}});
  site.AddPlayer("b", "Two", {{20, "2"}});
  site.AddPlayer("c", "None", {});
  const PlayerListing listing = site.Listing();
  const WeaponTotals totals = SumWeaponKills(listing);
  EXPECT_EQ(totals[kUsp], 3);
  EXPECT_EQ(WeaponPage(listing, kUsp, totals[kUsp]),
            Page("weapon_page_head.htm",
                 WeaponRow(1, "b", "Two", 66, "usp", 2) + WeaponRow(2, "a", "One", 33, "usp", 1)));
  // A weapon nobody killed with still has its page, with an empty table.
  EXPECT_EQ(WeaponPage(listing, kAwp, 0), Page("weapon_page_head.htm", ""));
}

TEST(WeaponPage, TiesKeepListingOrderAndZeroCountsHaveNoRow) {
  ProgramFolder site;
  site.AddPlayer("p1", "Five", {{33, "5"}});
  site.AddPlayer("p2", "Three", {{33, "3"}});
  site.AddPlayer("p3", "Nil", {{33, "0"}});
  site.AddPlayer("p4", "Also five", {{33, "5"}});
  const PlayerListing listing = site.Listing();
  // 100000 / 13 = 7692; 7692 * 5 / 1000 = 38; 7692 * 3 / 1000 = 23.
  EXPECT_EQ(WeaponPage(listing, kAk47, 13),
            Page("weapon_page_head.htm", WeaponRow(1, "p1", "Five", 38, "ak47", 5) +
                                             WeaponRow(1, "p4", "Also five", 38, "ak47", 5) +
                                             WeaponRow(3, "p2", "Three", 23, "ak47", 3)));
}

TEST(WeaponPage, TotalAbove100000GivesZeroShares) {
  ProgramFolder site;
  site.AddPlayer("big", "Big", {{42, "100001"}});
  site.AddPlayer("small", "Small", {{42, "5"}});
  const PlayerListing listing = site.Listing();
  EXPECT_EQ(WeaponPage(listing, 22, SumWeaponKills(listing)[22]),
            Page("weapon_page_head.htm", WeaponRow(1, "big", "Big", 0, "knife", 100001) +
                                             WeaponRow(2, "small", "Small", 0, "knife", 5)));
}

TEST(WeaponPage, DamagedNegativeCountsRankBelowZero) {
  ProgramFolder site;
  site.AddPlayer("neg", "Neg", {{20, "-2"}});
  site.AddPlayer("zero", "Zero", {});
  site.AddPlayer("pos", "Pos", {{20, "2"}});
  const PlayerListing listing = site.Listing();
  // The total is 0: the shares are 0 rather than a division by zero.
  EXPECT_EQ(WeaponPage(listing, kUsp, 0),
            Page("weapon_page_head.htm", WeaponRow(1, "pos", "Pos", 0, "usp", 2) +
                                             WeaponRow(3, "neg", "Neg", 0, "usp", -2)));
}

TEST(WeaponSummary, GrenadeTakesAPlaceButHasNoRowAndIsNotInTheGrandTotal) {
  WeaponTotals totals{};
  totals[kAk47] = 10;
  totals[kGrenade] = 8;
  totals[kAwp] = 5;
  EXPECT_EQ(WeaponSummaryPage(totals),
            Page("weapon_summary_head.htm",
                 SummaryRow(1, 66, "ak47", 10, 15) + SummaryRow(3, 33, "awp", 5, 15)));
  EXPECT_EQ(WeaponSummaryPage(WeaponTotals{}), Page("weapon_summary_head.htm", ""));
}

TEST(WeaponSummary, FewestKillsAloneAtPlace24IsTheLastRow) {
  WeaponTotals totals{};
  int grand = 0;
  for (int w = 0; w < 24; ++w) {
    totals[w] = w == kUsp ? 1 : 50;
    if (w != kGrenade) grand += totals[w];
  }
  std::string rows;
  const char* names[] = {"usp",   "glock18", "deagle",  "p228", "dualbaretta", "fiveseven",
                         "m3",    "xm1014",  "mp5navy", "tmp",  "p90",         "mac10",
                         "ump45", "ak47",    "sg552",   "m4a1", "aug",         "scout",
                         "awp",   "g3",      "sg550",   "para", "knife",       "grenade"};
  const int share50 = 100000 / grand * 50 / 1000;
  for (int w = 1; w < kGrenade; ++w) rows += SummaryRow(1, share50, names[w], 50, grand);
  rows += SummaryRow(24, 100000 / grand / 1000, "usp", 1, grand);
  EXPECT_EQ(WeaponSummaryPage(totals), Page("weapon_summary_head.htm", rows));
}

TEST(WeaponPages, TwentyFivePagesWithDottedNames) {
  ProgramFolder site;
  site.AddPlayer("a", "A", {{43, "4"}});
  ReportRun(site.root(), site.database(), ColourSet{});
  EXPECT_EQ(WeaponPageName(kUsp), ".usp.htm");
  EXPECT_EQ(WeaponPageName(kGrenade), ".grenade.htm");
  for (int w = 0; w < kWeaponCount; ++w)
    EXPECT_TRUE(std::filesystem::is_regular_file(site.html() / WeaponPageName(w)));
  EXPECT_EQ(testutil::ReadBytes(site.html() / ".grenade.htm"),
            Page("weapon_page_head.htm", WeaponRow(1, "a", "A", 100, "grenade", 4)));
  EXPECT_EQ(testutil::ReadBytes(site.html() / "wt.htm"), Page("weapon_summary_head.htm", ""));
}

}  // namespace
}  // namespace varnokel
