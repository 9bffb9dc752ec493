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

std::string_view MiddleLine(std::span<const std::string_view> pieces) {
  std::vector<size_t> line_ends;
  for (std::string_view piece : pieces) line_ends.push_back(CountLineEnds(piece));
  return MiddleLine(pieces, line_ends);
}

std::string_view MiddleLine(std::span<const std::string_view> pieces,
                            std::span<const size_t> line_ends) {
  if (pieces.empty()) return {};
  size_t total = pieces.size() - 1;  // the joins
  for (size_t count : line_ends) total += count;
  size_t target = total / 2;
  for (size_t i = 0; i < pieces.size(); ++i) {
    if (target <= line_ends[i]) return LineAt(pieces[i], target);
    target -= line_ends[i] + 1;  // its lines, the last one ended by the join
  }
  return {};
}

}  // namespace varnokel
