#include "report/weapon_pages.h"

#include <vector>

#include "base/file_io.h"
#include "report/html_escape.h"
#include "report/page_frame.h"
#include "report/page_template.h"
#include "report/page_templates.h"
#include "report/page_text.h"
#include "report/ranked_table.h"

namespace varnokel {

namespace {

const PageTemplate kWeaponRow(templates::kWeaponPageRow,
                              {"place", "id", "name", "share", "rest", "weapon", "kills"});
const PageTemplate kSummaryRow(templates::kWeaponSummaryRow,
                               {"place", "share", "rest", "weapon", "total", "grand_total"});

}  // namespace

WeaponTotals SumWeaponKills(const PlayerListing& listing) {
  WeaponTotals totals{};
  for (const ListedPlayer& player : listing)
    for (int w = 0; w < kWeaponCount; ++w) totals[w] = WrapAdd(totals[w], player.weapon_kills[w]);
  return totals;
}

std::string WeaponPageName(int weapon) {
  // Appended piece by piece into one string: "." + std::string(...) inserts
  // the dot in front of the name by moving it, which GCC 12 at -O3 reports as
  // an overlapping copy (-Wrestrict) although the move is sound.
  constexpr std::string_view kPrefix = ".";
  constexpr std::string_view kSuffix = ".htm";
  const std::string_view name = kWeapons[weapon].name;
  std::string page;
  page.reserve(kPrefix.size() + name.size() + kSuffix.size());
  page.append(kPrefix).append(name).append(kSuffix);
  return page;
}

std::string WeaponPage(const PlayerListing& listing, int weapon, int32_t total) {
  std::vector<int32_t> counts;
  counts.reserve(listing.size());
  for (const ListedPlayer& player : listing) counts.push_back(player.weapon_kills[weapon]);

  const std::string_view name = kWeapons[weapon].name;
  std::string page(PageHead(Page::kWeaponPage));
  page.reserve(page.size() + listing.size() * 700 + TablePageFooter().size());
  for (const RankedRow& row : RankedTable(counts)) {
    const int32_t kills = counts[row.index];
    if (kills == 0) continue;  // no row, but counted in the places of negative counts
    const ListedPlayer& player = listing[row.index];
    const int32_t share = SharePercent(kills, total);
    kWeaponRow.Append(
        page, {NumberText(row.place), PercentEncode(player.id), PageText(player.name),
               NumberText(share), NumberText(WrapSub(100, share)), name, NumberText(kills)});
  }
  page += TablePageFooter();
  return page;
}

std::string WeaponSummaryPage(const WeaponTotals& totals) {
  const int grenade = kWeaponCount - 1;
  int32_t grand_total = 0;
  for (int w = 0; w < grenade; ++w) grand_total = WrapAdd(grand_total, totals[w]);
  const std::string grand_total_text = NumberText(grand_total);

  std::string page(PageHead(Page::kWeaponSummary));
  for (const RankedRow& row : RankedTable(totals)) {
    const int w = static_cast<int>(row.index);
    // The grenade and weapons without kills have no row but hold their place.
    if (w == grenade || totals[w] == 0) continue;
    const int32_t share = SharePercent(totals[w], grand_total);
    kSummaryRow.Append(page,
                       {NumberText(row.place), NumberText(share), NumberText(WrapSub(100, share)),
                        kWeapons[w].name, NumberText(totals[w]), grand_total_text});
  }
  page += TablePageFooter();
  return page;
}

void WriteWeaponPages(const std::filesystem::path& html_dir, const PlayerListing& listing) {
  const WeaponTotals totals = SumWeaponKills(listing);
  for (int w = 0; w < kWeaponCount; ++w)
    WriteFileAtomic(html_dir / WeaponPageName(w), WeaponPage(listing, w, totals[w]));
  WriteFileAtomic(html_dir / "wt.htm", WeaponSummaryPage(totals));
}

}  // namespace varnokel
