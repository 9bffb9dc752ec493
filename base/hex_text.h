// SPDX-License-Identifier: GPL-3.0-or-later
// Hexadecimal text of bytes and numbers, and reading it back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace varnokel {

enum class HexLetters { kLower, kUpper };

// Appends the two hex digits of `byte`, the high one first.
void AppendHexByte(std::string& out, uint8_t byte, HexLetters letters = HexLetters::kLower);

// Two lower-case hex digits a byte, in order.
std::string HexOf(std::span<const uint8_t> bytes);

// `value` as exactly `digits` lower-case hex digits, zeros in front (the
// lowest digits when it has more).
std::string HexOfNumber(uint64_t value, size_t digits);

// The value of the hex digit `c` (0 to 15), or -1 when it is none; a
// letter counts in lower case only, or in either case when `any_case`.
int HexDigitValue(char c, bool any_case = false);

// Reads `hex`, two lower-case digits a byte, into `bytes`; false when it is
// not exactly that many digits.
bool ParseHex(std::string_view hex, std::span<uint8_t> bytes);

}  // namespace varnokel
