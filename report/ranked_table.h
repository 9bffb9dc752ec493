// Ranking players by one number, best first, with shared places for ties.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnokel {

struct RankedRow {
  size_t index;   // position of the player in the listing
  int32_t place;  // 1 + the number of players with a strictly greater value
};

// One row per value, in order of place (greatest value first); rows with equal
// values keep their listing order. A stable sort gives the same places and
// order as comparing every pair, in n log n.
std::vector<RankedRow> RankedTable(const std::vector<int32_t>& values);

}  // namespace varnokel
