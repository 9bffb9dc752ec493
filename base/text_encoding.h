// SPDX-License-Identifier: GPL-3.0-or-later
// The two encodings player names arrive in: UTF-8 from Linux servers,
// Windows-1252 from older ones and from files written before.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnokel {

// True when `bytes` is well-formed UTF-8: no overlong form, no surrogate,
// nothing above U+10FFFF, no sequence cut short or left without its lead byte.
bool IsUtf8(std::string_view bytes);

// Each byte read as Windows-1252 and written as UTF-8. The five bytes the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for U+0081 etc.,
// as browsers read them, so no byte is lost.
std::string Windows1252ToUtf8(std::string_view bytes);

// `bytes` unchanged when it is UTF-8 as a whole, otherwise read as
// Windows-1252: always UTF-8.
std::string TextAsUtf8(std::string_view bytes);

// The character of one Windows-1252 byte (the undefined bytes stand for the
// control character of the same number), and the byte of a character, if the
// code page has one.
char16_t Windows1252Char(unsigned char byte);
std::optional<char> Windows1252Byte(char16_t c);

}  // namespace varnokel
