#include "app/text_codec.h"

#include <QStringDecoder>
#include <QStringList>
#include <array>
#include <map>
#include <vector>

#include "base/text_encoding.h"

namespace varnokel {
namespace {

// A CR or LF that is not part of a CR LF pair would turn into a line break
// in the list and come back as CR LF; it is shown as its control picture
// instead.
constexpr QChar kLoneCr(char16_t(0x240D));
constexpr QChar kLoneLf(char16_t(0x240A));

QChar ByteToChar(unsigned char byte) {
  return QChar(Windows1252Char(byte));
}

std::optional<char> CharToByte(QChar c) {
  return Windows1252Byte(c.unicode());
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
