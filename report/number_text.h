// SPDX-License-Identifier: GPL-3.0-or-later
// Whole numbers appended to a page's text in decimal, as std::to_string
// writes them, without a string of their own: a page of thousands of numbers
// so builds without an allocation per number.
#pragma once

#include <charconv>
#include <cstdint>
#include <limits>
#include <string>

namespace varnokel {

inline void AppendNumber(std::string& out, int64_t value) {
  char digits[std::numeric_limits<int64_t>::digits10 + 3];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

}  // namespace varnokel
