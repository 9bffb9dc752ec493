// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/hex_text.h"

namespace varnokel {

namespace {

constexpr std::string_view kLowerDigits = "0123456789abcdef";
constexpr std::string_view kUpperDigits = "0123456789ABCDEF";
constexpr unsigned kNibbleBits = 4;
constexpr unsigned kNibbleMask = 0xF;
constexpr int kFirstLetterValue = 10;

}  // namespace

void AppendHexByte(std::string& out, uint8_t byte, HexLetters letters) {
  const std::string_view digits = letters == HexLetters::kUpper ? kUpperDigits : kLowerDigits;
  out += digits[byte >> kNibbleBits];
  out += digits[byte & kNibbleMask];
}

std::string HexOf(std::span<const uint8_t> bytes) {
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (uint8_t byte : bytes) AppendHexByte(hex, byte);
  return hex;
}

std::string HexOfNumber(uint64_t value, size_t digits) {
  std::string hex(digits, '0');
  for (size_t i = digits; i-- > 0; value >>= kNibbleBits)
    hex[i] = kLowerDigits[value & kNibbleMask];
  return hex;
}

int HexDigitValue(char c, bool any_case) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + kFirstLetterValue;
  if (any_case && c >= 'A' && c <= 'F') return c - 'A' + kFirstLetterValue;
  return -1;
}

bool ParseHex(std::string_view hex, std::span<uint8_t> bytes) {
  if (hex.size() != bytes.size() * 2) return false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const int high = HexDigitValue(hex[2 * i]), low = HexDigitValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    bytes[i] = static_cast<uint8_t>(high << kNibbleBits | low);
  }
  return true;
}

}  // namespace varnokel
