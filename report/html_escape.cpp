#include "report/html_escape.h"

#include "base/hex_text.h"

namespace varnokel {

void AppendHtmlEscaped(std::string& out, std::string_view text) {
  constexpr std::string_view kMarkup = "&<>\"'";
  for (;;) {
    const size_t special = text.find_first_of(kMarkup);
    out.append(text.substr(0, special));
    if (special == std::string_view::npos) return;
    switch (text[special]) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += "&#39;";
    }
    text.remove_prefix(special + 1);
  }
}

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendHtmlEscaped(out, text);
  return out;
}

namespace {

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.' || c == '~';
}

}  // namespace

void AppendPercentEncoded(std::string& out, std::string_view text) {
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsUnreserved(c)) {
      out += ch;
    } else {
      out += '%';
      AppendHexByte(out, c, HexLetters::kUpper);
    }
  }
}

std::string PercentEncode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendPercentEncoded(out, text);
  return out;
}

}  // namespace varnokel
