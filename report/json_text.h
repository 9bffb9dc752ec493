// SPDX-License-Identifier: GPL-3.0-or-later
// JSON texts for the site's open data and search index.
#pragma once

#include <string>
#include <string_view>

namespace varnokel {

// Appends `text` as a JSON string: quotes, backslashes and control bytes
// escaped, "<" written as \u003c (the text may end up inside a page), and
// every byte that is not part of valid UTF-8 replaced by U+FFFD, so the file
// is valid JSON whatever bytes a player name holds.
void AppendJsonString(std::string& out, std::string_view text);

// `text` with every byte that is not part of valid UTF-8 replaced by U+FFFD,
// as AppendJsonString writes it.
std::string ValidUtf8(std::string_view text);

}  // namespace varnokel
