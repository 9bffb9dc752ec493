// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/log_digests.h"

#include "log/log_lines.h"
#include "log/match_recognisers.h"

namespace varnokel {

std::string_view ReferenceLine(const UpdatePlan& plan) {
  const size_t lines = plan.LinesToFold();
  if (lines == 0) return {};
  size_t target = (lines - 1) / 2;  // the joins are line ends too
  for (const PlannedLog& log : plan.logs) {
    for (const LineRange& range : log.ranges) {
      const size_t in_range = log.LinesIn(range);
      if (target < in_range) {
        const size_t first = log.line_index->CountBefore(log.text, range.begin);
        return LineOf(log.text, *log.line_index, first + target);
      }
      target -= in_range;
    }
  }
  return {};
}

std::string_view MapRunningAt(const PlannedLog& log, size_t begin,
                              const MapsByServer& server_maps) {
  const std::string_view map = LastMapBefore(log.text, begin);
  if (!map.empty() || log.skipped == 0) return map;
  const auto found = server_maps.find(std::string(log.server));
  return found == server_maps.end() ? std::string_view() : std::string_view(found->second);
}

}  // namespace varnokel
