// SPDX-License-Identifier: GPL-3.0-or-later
// Counting and finding line ends in large texts, sixteen bytes at a time.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace varnokel {

// The number of LF characters in `text`.
size_t CountLineEnds(std::string_view text);

// The position of LF number `n` (0-based) in `text`, or npos when it has no
// more than `n` of them.
size_t FindLineEnd(std::string_view text, size_t n);

// The line ends of a large text, counted once: how many LF characters lie
// before every kStep-th byte, so that finding a line or counting the line
// ends before a place scans kStep bytes at most.
class LineIndex {
 public:
  static constexpr size_t kStep = size_t{1} << 20;

  LineIndex() = default;
  explicit LineIndex(std::string_view text);

  // LF characters in the whole text.
  size_t line_ends() const { return total_; }
  // LF characters before position `pos` of `text` (the text it was made for).
  size_t CountBefore(std::string_view text, size_t pos) const;
  // The position of LF number `n` (0-based) in `text`, or npos.
  size_t Find(std::string_view text, size_t n) const;

 private:
  std::vector<size_t> before_{0};  // [k]: LF characters in the first k * kStep bytes
  size_t total_ = 0;
};

}  // namespace varnokel
