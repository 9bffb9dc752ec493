#include "app/text_codec.h"

#include <QStringDecoder>
#include <QStringList>
#include <array>
#include <map>
#include <vector>

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
// in the list and come back as CR LF; it is shown as its control picture
// instead.
constexpr QChar kLoneCr(char16_t(0x240D));
constexpr QChar kLoneLf(char16_t(0x240A));

QChar ByteToChar(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return QChar(kHighControls[byte - 0x80]);
  return QChar(static_cast<char16_t>(byte));
}

std::optional<char> CharToByte(QChar c) {
  const char16_t u = c.unicode();
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == u) return static_cast<char>(0x80 + i);
  }
  // 80-9F are taken by the table above: a control character there that no
  // byte maps to has no byte.
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<char>(u);
  return std::nullopt;
}

// The UTF-8 text of `bytes`, or nothing when they are not valid UTF-8. A
// byte order mark at the start is kept as a character.
std::optional<QString> DecodeUtf8(std::string_view bytes) {
  QStringDecoder decoder(QStringDecoder::Utf8,
                         QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
  QString text = decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  if (decoder.hasError()) return std::nullopt;
  return text;
}

// The pieces of `bytes` between CR LF pairs; always at least one.
std::vector<std::string_view> SplitAtCrLf(std::string_view bytes) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t end; (end = bytes.find("\r\n", start)) != std::string_view::npos; start = end + 2)
    lines.push_back(bytes.substr(start, end - start));
  lines.push_back(bytes.substr(start));
  return lines;
}

QString ShownLine(std::string_view bytes) {
  QString line = ShownText(bytes);
  line.replace(QLatin1Char('\r'), kLoneCr);
  line.replace(QLatin1Char('\n'), kLoneLf);
  return line;
}

// A typed line: each control picture becomes its byte again, the text
// between them TypedTextBytes.
std::string TypedLineBytes(const QString& line) {
  std::string bytes;
  qsizetype start = 0;
  for (qsizetype i = 0; i <= line.size(); ++i) {
    if (i < line.size() && line[i] != kLoneCr && line[i] != kLoneLf) continue;
    bytes += TypedTextBytes(line.sliced(start, i - start));
    if (i < line.size()) bytes += line[i] == kLoneCr ? '\r' : '\n';
    start = i + 1;
  }
  return bytes;
}

}  // namespace

QString AnsiToQString(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  for (char b : bytes) text.append(ByteToChar(static_cast<unsigned char>(b)));
  return text;
}

std::optional<std::string> QStringToAnsi(const QString& text) {
  std::string bytes;
  bytes.reserve(static_cast<size_t>(text.size()));
  for (QChar c : text) {
    const std::optional<char> byte = CharToByte(c);
    if (!byte) return std::nullopt;
    bytes += *byte;
  }
  return bytes;
}

bool IsValidUtf8(std::string_view bytes) {
  return DecodeUtf8(bytes).has_value();
}

QString ShownText(std::string_view bytes) {
  std::optional<QString> text = DecodeUtf8(bytes);
  return text ? *text : AnsiToQString(bytes);
}

std::string TypedTextBytes(const QString& text) {
  std::optional<std::string> ansi = QStringToAnsi(text);
  return ansi ? *ansi : text.toStdString();  // toStdString: UTF-8
}

QString ShownLines(std::string_view bytes) {
  QString text;
  text.reserve(static_cast<qsizetype>(bytes.size()));
  bool first = true;
  for (std::string_view line : SplitAtCrLf(bytes)) {
    if (!first) text.append(QLatin1Char('\n'));
    first = false;
    text.append(ShownLine(line));
  }
  return text;
}

std::string TakeText(const QString& text, const ShownBytes& shown) {
  return text == shown.text ? shown.bytes : TypedTextBytes(text);
}

std::string TakeLines(const QString& text, const ShownBytes& shown) {
  if (text == shown.text) return shown.bytes;
  // The shown lines by their text; among equal texts the first unused one.
  std::multimap<QString, std::string_view> shown_lines;
  for (std::string_view line : SplitAtCrLf(shown.bytes)) shown_lines.emplace(ShownLine(line), line);
  std::string bytes;
  bool first = true;
  for (const QString& line : text.split(QLatin1Char('\n'))) {
    if (!first) bytes += "\r\n";
    first = false;
    auto same = shown_lines.find(line);
    if (same == shown_lines.end()) {
      bytes += TypedLineBytes(line);
    } else {
      bytes += same->second;
      shown_lines.erase(same);
    }
  }
  return bytes;
}

}  // namespace varnokel
