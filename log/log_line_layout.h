// SPDX-License-Identifier: GPL-3.0-or-later
// The game server's log line, written down once. Every reader of a line (the
// recognisers, the per-line analysis, the player records that copy a line's
// date and time) takes its positions from here.
//
//   L 03/15/2003 - 20:14:07: "Bob<12><4711><CT>" entered the game
//   | |          |  |       | ||
//   0 2          12 15      23 25 26
//
//   0      "L", then a space
//   2..11  DATE, MM/DD/YYYY, copied as it stands, never parsed on the way in
//   12..14 " - "
//   15..22 TIME, HH:MM:SS
//   23     ":", then a space
//   25     the double quote that opens the first player reference
//   26     the first player's name
#pragma once

#include <cstddef>
#include <string_view>

namespace varnokel::log_line {

inline constexpr size_t kDateStart = 2;
inline constexpr size_t kDateLength = 10;
inline constexpr size_t kTimeStart = 15;
inline constexpr size_t kTimeLength = 8;
inline constexpr size_t kFirstPlayerStart = 25;
inline constexpr size_t kNameStart = kFirstPlayerStart + 1;

// Characters `start` .. `start + length - 1`, as far as the line has them; a
// piece that starts at or past the end is empty.
constexpr std::string_view Piece(std::string_view line, size_t start, size_t length) {
  return start >= line.size() ? std::string_view() : line.substr(start, length);
}

// The line's DATE and TIME (shorter or empty where the line is).
constexpr std::string_view Date(std::string_view line) {
  return Piece(line, kDateStart, kDateLength);
}
constexpr std::string_view Time(std::string_view line) {
  return Piece(line, kTimeStart, kTimeLength);
}

}  // namespace varnokel::log_line
