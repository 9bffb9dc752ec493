// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/log_digests.h"

#include "db/store_event_sums.h"
#include "log/log_line_layout.h"
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

namespace {

// The moment of the last line that is not empty in `text`, when it has one
// with a date.
Moment LastLineMoment(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r')) --end;
  if (end == 0) return {};
  const size_t lf = text.rfind('\n', end - 1);
  const std::string_view line = text.substr(lf == std::string_view::npos ? 0 : lf + 1);
  return MomentAt({log_line::Date(line), log_line::Time(line)});
}

}  // namespace

RunningMap MapRunningAt(const PlannedLog& log, size_t begin, const MapsByServer& server_maps) {
  const std::string_view before = log.text.substr(0, begin);
  const std::string_view map = LastMapBefore(before, begin);
  if (!map.empty()) return {map, LastLineMoment(before)};
  if (log.skipped == 0) return {};
  const auto found = server_maps.find(std::string(log.server));
  if (found == server_maps.end()) return {};
  return {found->second.map, found->second.last_seen};
}

}  // namespace varnokel
