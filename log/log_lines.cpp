#include "log/log_lines.h"

#include <vector>

#include "log/line_count.h"

namespace varnokel {

namespace {

// The line starting at `start`, without its line end.
std::string_view LineFrom(std::string_view text, size_t start) {
  const size_t lf = text.find('\n', start);
  if (lf == std::string_view::npos) return text.substr(start);
  const size_t end = lf > start && text[lf - 1] == '\r' ? lf - 1 : lf;
  return text.substr(start, end - start);
}

// Line `target` of `text` (0-based; the text has more lines than that).
std::string_view LineAt(std::string_view text, size_t target) {
  return LineFrom(text, target == 0 ? 0 : FindLineEnd(text, target - 1) + 1);
}

}  // namespace

std::string_view LineOf(std::string_view text, const LineIndex& index, size_t n) {
  return LineFrom(text, n == 0 ? 0 : index.Find(text, n - 1) + 1);
}

std::string_view MiddleLine(std::string_view text) {
  return LineAt(text, CountLineEnds(text) / 2);
}

}  // namespace varnokel
