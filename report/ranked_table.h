// SPDX-License-Identifier: GPL-3.0-or-later
// Ranking by one number, greatest first, with shared places for ties: the
// players of the skill, sessions and weapon pages, the weapons of the summary
// and of a player's page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace varnokel {

struct RankedRow {
  size_t index;   // position of the value (the player in the listing, the weapon)
  int32_t place;  // 1 + the number of values strictly greater than this one
};

// One row per value, in order of place (greatest value first); rows with equal
// values keep their order. A page that shows only some rows (the weapon pages
// leave out counts of 0) filters these: the places still count every value.
std::vector<RankedRow> RankedTable(std::span<const int32_t> values);

}  // namespace varnokel
