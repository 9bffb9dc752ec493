// The weapon section of the site: one ranking page per weapon (".usp.htm" ...
// ".grenade.htm") and the summary "wt.htm" that ranks the weapons.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "report/page_input.h"
#include "report/page_output.h"
#include "report/player_listing.h"

namespace varnokel {

using WeaponTotals = std::array<int32_t, kWeaponCount>;

// Every player's kills with each weapon added up (32-bit, wrapping).
WeaponTotals SumWeaponKills(const PlayerListing& listing);

// The page of weapon `weapon` (0 = usp .. 23 = grenade): every player with a
// count other than 0, by place; equal counts keep listing order.
// AppendWeaponPage appends it to `out` (a page of 100 000 players is 63 MB);
// `texts` are those of `listing`.
void AppendWeaponPage(PageOutput& out, const PlayerListing& listing, const ListedTexts& texts,
                      int weapon, int32_t total);
inline std::string WeaponPage(const PlayerListing& listing, int weapon, int32_t total) {
  std::string page;
  PageOutput out(page);
  AppendWeaponPage(out, listing, ListedTexts(listing), weapon, total);
  return page;
}

// The summary: the weapons ranked by total (the grenade takes a place but has
// no row and is left out of the grand total).
std::string WeaponSummaryPage(const WeaponTotals& totals);

// Everything the page of `weapon` shows: each player's id and name (`names`,
// ListedNamesInput) and count with the weapon, in listing order (the total
// is their sum).
Fingerprint WeaponPageInput(const PlayerListing& listing, const Fingerprint& names, int weapon);

// Everything the summary shows: the totals.
Fingerprint WeaponSummaryInput(const WeaponTotals& totals);

// The file name of a weapon's page: "." + name + ".htm".
std::string WeaponPageName(int weapon);

}  // namespace varnokel
