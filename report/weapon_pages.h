// The weapon section of the site: one ranking page per weapon (".usp.htm" ...
// ".grenade.htm") and the summary "wt.htm" that ranks the weapons.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

#include "report/player_listing.h"

namespace varnokel {

using WeaponTotals = std::array<int32_t, kWeaponCount>;

// Every player's kills with each weapon added up (32-bit, wrapping).
WeaponTotals SumWeaponKills(const PlayerListing& listing);

// The page of weapon `weapon` (0 = usp .. 23 = grenade): every player with a
// count other than 0, by place; equal counts keep listing order.
std::string WeaponPage(const PlayerListing& listing, int weapon, int32_t total);

// The summary: the weapons ranked by total (the grenade takes a place but has
// no row and is left out of the grand total).
std::string WeaponSummaryPage(const WeaponTotals& totals);

// The file name of a weapon's page: "." + name + ".htm".
std::string WeaponPageName(int weapon);

// Writes the 24 weapon pages into `html_dir` in weapon order, then "wt.htm".
// Throws FileError naming the page that cannot be written.
void WriteWeaponPages(const std::filesystem::path& html_dir, const PlayerListing& listing);

}  // namespace varnokel
