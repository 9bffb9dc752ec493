#include "log/log_lines.h"

#include "log/line_count.h"

namespace varnokel {

std::string_view LineOf(std::string_view text, const LineIndex& index, size_t n) {
  return LineStartingAt(text, n == 0 ? 0 : index.Find(text, n - 1) + 1);
}

}  // namespace varnokel
