#include "base/text_lines.h"

namespace varnokel {

std::string_view LineStartingAt(std::string_view text, size_t start) {
  const size_t lf = text.find('\n', start);
  if (lf == std::string_view::npos) return text.substr(start);
  const size_t end = lf > start && text[lf - 1] == '\r' ? lf - 1 : lf;
  return text.substr(start, end - start);
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  ForEachLine(text, [&lines](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

}  // namespace varnokel
