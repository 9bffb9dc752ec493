// SPDX-License-Identifier: GPL-3.0-or-later
// The one reading rule for the program's line-based files (player files and
// the state files "buffer.no" and "color.no").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varnokel {

// Splits `text` into lines: every LF ends a line, and one CR directly before
// that LF belongs to the line end and is dropped. The piece after the last LF
// is a line of its own, kept whole (possibly empty). So "a\r\nb" gives
// {"a", "b"} and "a\r\n" gives {"a", ""}. Never returns an empty vector.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace varnokel
