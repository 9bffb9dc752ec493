#include "report/weapon_pages.h"

#include <vector>

#include "report/page_frame.h"
#include "report/page_template.h"
#include "report/page_templates.h"
#include "report/ranked_table.h"

namespace varnokel {

namespace {

const PageTemplate kSummaryRow(templates::kWeaponSummaryRow,
                               {"place", "share", "rest", "weapon", "total", "grand_total"});

}  // namespace

WeaponCounts::WeaponCounts(const PlayerListing& listing)
    : players_(listing.size()), counts_(kWeaponCount * listing.size()) {
  for (size_t p = 0; p < players_; ++p)
    for (int w = 0; w < kWeaponCount; ++w)
      counts_[static_cast<size_t>(w) * players_ + p] = listing[p].weapon_kills[w];
}

WeaponTotals SumWeaponKills(const WeaponCounts& counts) {
  WeaponTotals totals{};
  for (int w = 0; w < kWeaponCount; ++w)
    for (int32_t count : counts.of(w)) totals[w] = WrapAdd(totals[w], count);
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

void AppendWeaponPage(PageOutput& out, const WeaponCounts& weapon_counts, const ListedTexts& texts,
                      int weapon, int32_t total) {
  const std::span<const int32_t> counts = weapon_counts.of(weapon);

  const std::string_view name = kWeapons[weapon].name;
  // The weapon's name is the same in every row: filled in once.
  const std::string row_text = FillSlot(templates::kWeaponPageRow, "weapon", name);
  const PageTemplate weapon_row(row_text, {"place", "id", "name", "share", "rest", "kills"});
  std::string& page = out.text();
  page += PageHead(Page::kWeaponPage);
  const std::vector<RankedRow> rows = RankedTable(counts);
  for (size_t k = 0; k < rows.size(); ++k) {
    texts.FetchAhead(k, rows.size(), [&](size_t j) { return rows[j].index; });
    const RankedRow& row = rows[k];
    const int32_t kills = counts[row.index];
    if (kills == 0) continue;  // no row, but counted in the places of negative counts
    const int32_t share = SharePercent(kills, total);
    weapon_row.Append(page,
                      {NumberText(row.place), texts.Link(row.index), texts.ShownName(row.index),
                       NumberText(share), NumberText(WrapSub(100, share)), NumberText(kills)});
    out.Spill();
  }
  page += TablePageFooter();
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

Fingerprint WeaponPageInput(const WeaponCounts& counts, const Fingerprint& names, int weapon) {
  PageInput input("weapon page");
  input.Number(weapon).Input(names);
  for (int32_t count : counts.of(weapon)) input.Number(count);
  return input.Value();
}

Fingerprint WeaponSummaryInput(const WeaponTotals& totals) {
  PageInput input("weapon summary");
  for (int32_t total : totals) input.Number(total);
  return input.Value();
}

}  // namespace varnokel
