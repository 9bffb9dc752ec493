// SPDX-License-Identifier: GPL-3.0-or-later
// Cutting the LogBuffer's text into lines.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "base/text_lines.h"
#include "log/line_count.h"

namespace varnokel {

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

}  // namespace varnokel
