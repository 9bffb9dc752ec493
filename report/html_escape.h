// SPDX-License-Identifier: GPL-3.0-or-later
// Making player texts safe to put into the pages of the site.
#pragma once

#include <string>
#include <string_view>

namespace varnokel {

// Appends `text` with "&", "<", ">", the double quote and the apostrophe
// replaced by their entities, so that a player name shows exactly as the
// player wrote it and can never add markup to a page.
void AppendHtmlEscaped(std::string& out, std::string_view text);
std::string HtmlEscape(std::string_view text);

// Appends `text` with every byte outside A-Z, a-z, 0-9, "-", "_", "." and "~"
// written as "%" and two upper-case hex digits. Used for player ids in links,
// so that an id such as STEAM_0:1:4711 (the colon would read as a URL scheme)
// or one with "#", "?" or blanks still leads to the page written for it.
void AppendPercentEncoded(std::string& out, std::string_view text);
std::string PercentEncode(std::string_view text);

}  // namespace varnokel
