// The window shows 8-bit texts (Windows ANSI code page 1252) in Qt's Unicode
// widgets. Every byte maps to exactly one character and back, so a text read
// from a file, shown and taken back is unchanged byte for byte, including
// bytes that are not valid UTF-8.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace varnokel {

// Each byte as its code page 1252 character; the five bytes that code page
// leaves undefined (81, 8D, 8F, 90, 9D) become the control characters of the
// same number, as in Latin-1.
QString AnsiToQString(std::string_view bytes);

// The inverse of AnsiToQString. A character the code page cannot hold (typed
// by the user) becomes "?", as a conversion to the ANSI code page does.
std::string QStringToAnsi(const QString& text);

// The loaded-files list keeps CR LF in its member; the multi-line field shows
// line breaks. Display: CR LF becomes a line break, a lone CR or LF (a file
// name may hold one) its control picture. Back: every line break becomes
// CR LF and each control picture its byte again.
QString AnsiLinesToQString(std::string_view bytes);
std::string QStringToAnsiLines(const QString& text);

}  // namespace varnokel
