#include "base/text_encoding.h"

#include <array>

namespace varnokel {

namespace {

// The characters of the bytes 0x80 to 0x9F in Windows-1252 (WHATWG); the
// undefined ones keep their own number. 0xA0 to 0xFF are U+00A0 to U+00FF.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr unsigned char kFirstHighControl = 0x80;
constexpr unsigned char kLastHighControl = 0x9F;

void AppendUtf8(std::string& out, char16_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The number of bytes of the well-formed UTF-8 sequence at the front of
// `bytes` (not empty), or 0 when there is none. The ranges of the second byte
// after E0, ED, F0 and F4 are what rule out overlong forms, surrogates and
// values above U+10FFFF (Unicode table 3-7).
size_t Utf8SequenceLength(std::string_view bytes) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (bytes.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (size_t k = 2; k < length; ++k)
    if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
  return length;
}

}  // namespace

char16_t Windows1252Char(unsigned char byte) {
  if (byte >= kFirstHighControl && byte <= kLastHighControl)
    return kHighControls[byte - kFirstHighControl];
  return byte;
}

std::optional<char> Windows1252Byte(char16_t c) {
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == c) return static_cast<char>(kFirstHighControl + i);
  }
  // 80-9F are taken by the table above: a control character there that no
  // byte maps to has no byte.
  if (c < kFirstHighControl || (c > kLastHighControl && c <= 0xFF)) return static_cast<char>(c);
  return std::nullopt;
}

bool IsUtf8(std::string_view bytes) {
  while (!bytes.empty()) {
    const size_t length = Utf8SequenceLength(bytes);
    if (length == 0) return false;
    bytes.remove_prefix(length);
  }
  return true;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char ch : bytes) {
    AppendUtf8(out, Windows1252Char(static_cast<unsigned char>(ch)));
  }
  return out;
}

std::string TextAsUtf8(std::string_view bytes) {
  return IsUtf8(bytes) ? std::string(bytes) : Windows1252ToUtf8(bytes);
}

}  // namespace varnokel
