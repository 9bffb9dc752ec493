// SPDX-License-Identifier: GPL-3.0-or-later
// Texts from player files as the pages of the site show them. Names come from
// the server logs as bytes: UTF-8 from Linux servers, Windows-1252 from older
// ones and from files written before; the pages are UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "base/text_encoding.h"

namespace varnokel {

// A text from a player file (a name, a counter) as page text: made UTF-8 by
// TextAsUtf8, then HTML-escaped. Links and file names keep the raw bytes.
std::string PageText(std::string_view bytes);

}  // namespace varnokel
