// SPDX-License-Identifier: GPL-3.0-or-later
// The one reading rule for the program's line-based texts (logs, player
// files and the state files "buffer.no" and "color.no"): every LF ends a
// line, and one CR directly before that LF belongs to the line end.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace varnokel {

// Calls `fn(line)` for every line of `text`, without its line end. The text
// after the last LF (possibly empty) is the last line. Returns the number of
// lines.
template <typename Fn>
size_t ForEachLine(std::string_view text, Fn&& fn) {
  size_t count = 0;
  size_t start = 0;
  for (;;) {
    const size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) {
      fn(text.substr(start));
      return count + 1;
    }
    const size_t end = lf > start && text[lf - 1] == '\r' ? lf - 1 : lf;
    fn(text.substr(start, end - start));
    ++count;
    start = lf + 1;
  }
}

// The line of `text` starting at `start`, without its line end.
std::string_view LineStartingAt(std::string_view text, size_t start);

// Splits `text` into lines: every LF ends a line, and one CR directly before
// that LF belongs to the line end and is dropped. The piece after the last LF
// is a line of its own, kept whole (possibly empty). So "a\r\nb" gives
// {"a", "b"} and "a\r\n" gives {"a", ""}. Never returns an empty vector.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace varnokel
