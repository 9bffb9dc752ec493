// SPDX-License-Identifier: GPL-3.0-or-later
// The weapon section of the site: one ranking page per weapon (".usp.htm" ...
// ".grenade.htm") and the summary "wt.htm" that ranks the weapons.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "report/page_input.h"
#include "report/page_output.h"
#include "report/player_listing.h"

namespace varnokel {

using WeaponTotals = std::array<int32_t, kWeaponCount>;

// Every player's kills with each weapon, gathered weapon by weapon (each in
// listing order): a weapon page goes over one weapon's counts of all players
// several times, and they are then next to each other.
class WeaponCounts {
 public:
  explicit WeaponCounts(const PlayerListing& listing);
  std::span<const int32_t> of(int weapon) const {
    return std::span<const int32_t>(counts_).subspan(static_cast<size_t>(weapon) * players_,
                                                     players_);
  }

 private:
  size_t players_;
  std::vector<int32_t> counts_;  // weapon after weapon
};

// Every player's kills with each weapon added up (32-bit, wrapping).
WeaponTotals SumWeaponKills(const WeaponCounts& counts);
inline WeaponTotals SumWeaponKills(const PlayerListing& listing) {
  return SumWeaponKills(WeaponCounts(listing));
}

// The page of weapon `weapon` (0 = usp .. 23 = grenade): every player with a
// count other than 0, by place; equal counts keep listing order.
// AppendWeaponPage appends it to `out` (a page of 100 000 players is 63 MB);
// `counts` and `texts` are those of one listing.
void AppendWeaponPage(PageOutput& out, const WeaponCounts& counts, const ListedTexts& texts,
                      int weapon, int32_t total);
inline std::string WeaponPage(const PlayerListing& listing, int weapon, int32_t total) {
  std::string page;
  PageOutput out(page);
  AppendWeaponPage(out, WeaponCounts(listing), ListedTexts(listing), weapon, total);
  return page;
}

// The summary: the weapons ranked by total (the grenade takes a place but has
// no row and is left out of the grand total).
std::string WeaponSummaryPage(const WeaponTotals& totals);

// Everything the page of `weapon` shows: each player's id and name (`names`,
// ListedNamesInput) and count with the weapon, in listing order (the total
// is their sum).
Fingerprint WeaponPageInput(const WeaponCounts& counts, const Fingerprint& names, int weapon);

// Everything the summary shows: the totals.
Fingerprint WeaponSummaryInput(const WeaponTotals& totals);

// The file name of a weapon's page: "." + name + ".htm".
std::string WeaponPageName(int weapon);

}  // namespace varnokel
