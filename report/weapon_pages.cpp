#include "report/weapon_pages.h"

#include <algorithm>
#include <numeric>
#include <vector>

#include "base/file_io.h"
#include "report/page_frame.h"

namespace varnokel {

namespace {

// The share bar and the weapon's link and image, shared by both row kinds up
// to where the weapon page has blanks the summary has not.
void AppendBar(std::string& out, int32_t share) {
  // clang-format off
  out += R"p(<table width="100%" bgcolor=black cellspacing=1 cellpadding=1><tr><td width=")p";
  AppendNumber(out, share);
  out += R"p(%" class=color5><span class=text><nobr>&nbsp;&nbsp;)p";
  AppendNumber(out, share);
  out += R"p( %</nobr></span></td><td width=")p";
  AppendNumber(out, WrapSub(100, share));
  out += R"p(%" class=color6></td></tr></table></td>)p";
  // clang-format on
}

void AppendWeaponLink(std::string& out, std::string_view weapon) {
  // clang-format off
  out += R"p(<td align=center class=color3><span class=text><a href=".)p";
  out += weapon;
  out += R"p(.htm">)p";
  out += weapon;
  out += R"p(</a></span></center></td><td align=right class=color3><center><span class=text><img src=")p";
  out += weapon;
  out += R"p(.gif"></span></center></td>)p";
  // clang-format on
}

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
  // Only players with kills get a row; a place counts every player with a
  // strictly greater count, so players at 0 count only above negative ones.
  std::vector<size_t> rows;
  size_t zero_count = 0;
  for (size_t i = 0; i < listing.size(); ++i) {
    if (listing[i].weapon_kills[weapon] != 0) {
      rows.push_back(i);
    } else {
      ++zero_count;
    }
  }
  auto count = [&](size_t i) { return listing[i].weapon_kills[weapon]; };
  std::stable_sort(rows.begin(), rows.end(),
                   [&](size_t a, size_t b) { return count(a) > count(b); });

  const std::string_view name = kWeapons[weapon].name;
  std::string page(PageHead(Page::kWeaponPage));
  page.reserve(page.size() + rows.size() * 700 + TablePageFooter().size());
  int32_t place = 0;
  for (size_t k = 0; k < rows.size(); ++k) {
    const ListedPlayer& player = listing[rows[k]];
    const int32_t kills = count(rows[k]);
    if (k == 0 || kills != count(rows[k - 1]))
      place = static_cast<int32_t>(k + 1 + (kills < 0 ? zero_count : 0));
    AppendPlayerRowStart(page, place, player.id, player.name);
    page += "</a></span></td> <td class=color3>";
    AppendBar(page, SharePercent(kills, total));
    page += ' ';
    AppendWeaponLink(page, name);
    page += "       <td align=center class=color3><span class=text>";
    AppendNumber(page, kills);
  }
  page += TablePageFooter();
  return page;
}

std::string WeaponSummaryPage(const WeaponTotals& totals) {
  const int grenade = kWeaponCount - 1;
  int32_t grand_total = 0;
  for (int w = 0; w < grenade; ++w) grand_total = WrapAdd(grand_total, totals[w]);

  std::vector<int> order(kWeaponCount);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return totals[a] > totals[b]; });

  std::string page(PageHead(Page::kWeaponSummary));
  int32_t place = 0;
  for (int k = 0; k < kWeaponCount; ++k) {
    const int w = order[k];
    if (k == 0 || totals[w] != totals[order[k - 1]]) place = k + 1;
    if (w == grenade || totals[w] == 0) continue;
    page += "<tr><td align=right class=color3><span class=text>";
    AppendNumber(page, place);
    page += "</span></td><td class=color3>";
    AppendBar(page, SharePercent(totals[w], grand_total));
    AppendWeaponLink(page, kWeapons[w].name);
    page += "<td align=center class=color3><span class=text>";
    AppendNumber(page, totals[w]);
    page += "<td align=center class=color3><span class=text>";
    AppendNumber(page, grand_total);
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
