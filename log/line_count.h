// Counting and finding line ends in large texts, sixteen bytes at a time.
#pragma once

#include <cstddef>
#include <string_view>

namespace varnokel {

// The number of LF characters in `text`.
size_t CountLineEnds(std::string_view text);

// The position of LF number `n` (0-based) in `text`, or npos when it has no
// more than `n` of them.
size_t FindLineEnd(std::string_view text, size_t n);

}  // namespace varnokel
