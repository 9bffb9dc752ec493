#include "log/log_lines.h"

#include <algorithm>

namespace varnokel {

std::string_view MiddleLine(std::string_view text) {
  size_t target = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) / 2;
  size_t start = 0;
  for (size_t index = 0; index < target; ++index) start = text.find('\n', start) + 1;
  size_t lf = text.find('\n', start);
  if (lf == std::string_view::npos) return text.substr(start);
  size_t end = lf > start && text[lf - 1] == '\r' ? lf - 1 : lf;
  return text.substr(start, end - start);
}

}  // namespace varnokel
