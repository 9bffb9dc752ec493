// SPDX-License-Identifier: GPL-3.0-or-later
// The window shows 8-bit texts (the bytes of files and members) in Qt's
// Unicode widgets. Bytes read from files are shown as UTF-8 when they are
// valid UTF-8 and as Windows-1252 otherwise (older files, logs of Windows
// servers). A text the user leaves alone goes back byte for byte; a text the
// user typed is stored as Windows-1252 when every character has a byte there,
// so files written by older versions of the program read and write unchanged,
// and as UTF-8 otherwise, so that no typed character is lost.
#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace varnokel {

// Windows-1252, byte for byte: each byte as its character; the five bytes the
// code page leaves undefined (81, 8D, 8F, 90, 9D) become the control
// characters of the same number, as in the WHATWG mapping.
QString AnsiToQString(std::string_view bytes);

// The inverse of AnsiToQString; nothing when a character has no byte in the
// code page.
std::optional<std::string> QStringToAnsi(const QString& text);

// Strictly valid UTF-8: no overlong forms, surrogates, code points beyond
// U+10FFFF or cut-off sequences.
bool IsValidUtf8(std::string_view bytes);

// Bytes as a field shows them: UTF-8 when valid, otherwise Windows-1252.
QString ShownText(std::string_view bytes);

// A typed text as bytes: Windows-1252 when every character has a byte there,
// otherwise UTF-8.
std::string TypedTextBytes(const QString& text);

// The loaded-files list keeps CR LF in its member; the multi-line field shows
// line breaks. Each line is shown by itself (UTF-8 or Windows-1252), and a
// lone CR or LF (a file name may hold one) as its control picture.
QString ShownLines(std::string_view bytes);

// The bytes a field was last filled from, and the text the field showed for
// them (read back from the field, so that whatever the widget makes of a
// text counts as unchanged).
struct ShownBytes {
  std::string bytes;
  QString text;
};

// The member bytes for the text now in a single-line field: the shown bytes
// when the field still shows their text, otherwise TypedTextBytes(text).
std::string TakeText(const QString& text, const ShownBytes& shown);

// The same for the loaded-files list, line by line: every line break becomes
// CR LF and each control picture its byte again; a line that shows the same
// text as a line of the shown bytes takes that line's bytes (each shown line
// once, in order), so the file names keep their bytes when the user edits
// another line; any other line is typed text.
std::string TakeLines(const QString& text, const ShownBytes& shown);

}  // namespace varnokel
