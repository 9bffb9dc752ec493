#include "report/json_text.h"

#include <cstdio>

namespace varnokel {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// The length of the valid UTF-8 sequence at the start of `text`, 0 for none.
size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(0);
  size_t length = 0;
  uint32_t lowest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, lowest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, lowest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, lowest = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  uint32_t code = lead & (0x7F >> length);
  for (size_t k = 1; k < length; ++k) {
    if ((byte(k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(k) & 0x3F);
  }
  if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string ValidUtf8(std::string_view text) {
  std::string valid;
  for (size_t k = 0; k < text.size();) {
    if (static_cast<unsigned char>(text[k]) < 0x80) {
      valid += text[k++];
      continue;
    }
    const size_t length = Utf8SequenceLength(text.substr(k));
    if (length == 0) {
      valid += kReplacement;
      ++k;
    } else {
      valid.append(text.substr(k, length));
      k += length;
    }
  }
  return valid;
}

void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (const char byte : ValidUtf8(text)) {
    const unsigned char c = static_cast<unsigned char>(byte);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += byte;
    } else if (c < 0x20 || c == '<' || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += byte;  // bytes of valid UTF-8 sequences pass as they are
    }
  }
  out += '"';
}

}  // namespace varnokel
