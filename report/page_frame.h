// SPDX-License-Identifier: GPL-3.0-or-later
// The frame every page of the site shares: its document head with the
// navigation table, the footer with the credit line and number formatting.
// The markup itself is in report/templates/, one file per piece.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace varnokel {

// The pages of the site with a head of their own. The heads differ in the
// blanks between tags, in which navigation cell is plain text and in the table
// head that follows, so each is kept whole.
enum class Page { kSkillTable, kSessionsTable, kPlayerList, kWeaponPage, kWeaponSummary, kPlayer };

// The whole head of `page`, up to and including its table head.
std::string_view PageHead(Page page);

// The closing piece of the table pages (skill, sessions, player list, weapon
// pages and summary) and of the player pages; both carry the credit line.
std::string_view TablePageFooter();
std::string_view PlayerPageFooter();

// The credit line, the same on every page: a short text, " - " and one link
// that opens in a new window.
std::string_view CreditLine();

// `value` as "%i" writes it.
std::string NumberText(int32_t value);

// 32-bit signed arithmetic that wraps instead of overflowing, as the counts
// of a damaged player file may make it.
inline int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t WrapSub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t WrapMul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
// Division truncating toward zero; the one overflowing case wraps.
inline int32_t WrapDiv(int32_t a, int32_t b) {
  if (b == -1) return WrapSub(0, a);
  return a / b;
}

// A share in whole percent as the site computes it: (100000 / total) * part
// / 1000, each division truncating, so 100000 / total is cut first. A total
// of 0 (only possible with negative counts in damaged files) gives share 0.
int32_t SharePercent(int32_t part, int32_t total);

}  // namespace varnokel
