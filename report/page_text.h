// Texts from player files as the pages of the site show them. Names come from
// the server logs as bytes: UTF-8 from Linux servers, Windows-1252 from older
// ones and from files written before; the pages are UTF-8.
#pragma once

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

// A text from a player file (a name, a counter) as page text: made UTF-8 by
// TextAsUtf8, then HTML-escaped. Links and file names keep the raw bytes.
std::string PageText(std::string_view bytes);

}  // namespace varnokel
