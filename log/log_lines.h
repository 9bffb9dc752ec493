// SPDX-License-Identifier: GPL-3.0-or-later
// Cutting the LogBuffer's text into lines.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "log/line_count.h"

namespace varnokel {

// Calls `fn(line)` for every line of `text`: a line ends at LF, and one CR
// directly before the LF belongs to the line end. The text after the last LF
// (possibly empty) is the last line. Returns the number of lines.
template <typename Fn>
size_t ForEachLine(std::string_view text, Fn&& fn) {
  size_t count = 0;
  size_t start = 0;
  for (;;) {
    size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) {
      fn(text.substr(start));
      return count + 1;
    }
    size_t end = lf > start && text[lf - 1] == '\r' ? lf - 1 : lf;
    fn(text.substr(start, end - start));
    ++count;
    start = lf + 1;
  }
}

// Calls `fn(part)` for every part of `line` between runs of NUL bytes (what a
// crash of the server's machine leaves in a log): each run ends the part
// before it as a line end would, one CR directly before the run included.
// The part after the last run, possibly empty, is the last part. Returns the
// number of runs.
template <typename Fn>
size_t ForEachPartBetweenNulRuns(std::string_view line, Fn&& fn) {
  size_t runs = 0;
  for (;;) {
    const size_t nul = line.find('\0');
    if (nul == std::string_view::npos) {
      fn(line);
      return runs;
    }
    fn(line.substr(0, nul > 0 && line[nul - 1] == '\r' ? nul - 1 : nul));
    ++runs;
    size_t after = nul;
    while (after < line.size() && line[after] == '\0') ++after;
    line.remove_prefix(after);
  }
}

// Line `n` (0-based) of `text`, found through its line index; `text` has more
// than n lines.
std::string_view LineOf(std::string_view text, const LineIndex& index, size_t n);

// Line n / 2 of `text`, n being the number of LF characters in it.
std::string_view MiddleLine(std::string_view text);

}  // namespace varnokel
