#include "app/text_codec.h"

#include <array>

namespace varnokel {
namespace {

// Characters of the bytes 80 to 9F in code page 1252; undefined bytes keep
// their own number (the C1 control character).
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

// A CR or LF that is not part of a CR LF pair would turn into a line break
// in the field and come back as CR LF; it is shown as its control picture
// instead. Neither picture is in the code page, so a typed one cannot be
// mistaken for it.
constexpr QChar kLoneCr(char16_t(0x240D));
constexpr QChar kLoneLf(char16_t(0x240A));

QChar ByteToChar(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return QChar(kHighControls[byte - 0x80]);
  return QChar(static_cast<char16_t>(byte));
}

char CharToByte(QChar c) {
  const char16_t u = c.unicode();
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == u) return static_cast<char>(0x80 + i);
  }
  // 80-9F are taken by the table above: a control character there that no
  // byte maps to cannot come back.
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<char>(u);
  return '?';
}

}  // namespace

QString AnsiToQString(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (char b : bytes) text.append(ByteToChar(static_cast<unsigned char>(b)));
  return text;
}

std::string QStringToAnsi(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    // A character outside the basic plane arrives as two surrogates: one "?".
    if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ++i;
    bytes += CharToByte(text[i]);
  }
  return bytes;
}

QString AnsiLinesToQString(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      text.append(QLatin1Char('\n'));
      ++i;
    } else if (bytes[i] == '\r') {
      text.append(kLoneCr);
    } else if (bytes[i] == '\n') {
      text.append(kLoneLf);
    } else {
      text.append(ByteToChar(static_cast<unsigned char>(bytes[i])));
    }
  }
  return text;
}

std::string QStringToAnsiLines(const QString& text) {
  std::string lines;
  lines.reserve(static_cast<size_t>(text.size()) + static_cast<size_t>(text.size()) / 8);
  qsizetype start = 0;
  auto take_up_to = [&](qsizetype end, std::string_view line_end) {
    lines += QStringToAnsi(text.sliced(start, end - start));
    lines += line_end;
    start = end + 1;
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('\n'))
      take_up_to(i, "\r\n");
    else if (text[i] == kLoneCr)
      take_up_to(i, "\r");
    else if (text[i] == kLoneLf)
      take_up_to(i, "\n");
  }
  take_up_to(text.size(), "");
  return lines;
}

}  // namespace varnokel
