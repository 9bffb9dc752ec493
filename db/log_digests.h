// SPDX-License-Identifier: GPL-3.0-or-later
// What an update run reads from the planned logs as a whole, apart from their
// lines one by one: the reference line unknown players take their first date
// from, and the map a server runs where a folded range starts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

#include "db/store_changes.h"
#include "db/update_plan.h"

namespace varnokel {

// The line unknown players take their first date and time from: line n / 2
// of the text the folded ranges make when joined by CR LF, n being the LF
// characters in it. Empty when the plan folds nothing.
std::string_view ReferenceLine(const UpdatePlan& plan);

// The map running at `begin` of `log` (where a folded range starts): the last
// map line before it, or, for the part of a log read on without its
// beginning, the map its server ran at the end of the last commit; and since
// when it has run unseen: the moment of the line before `begin` (folded
// earlier), or of the last line the last commit folded from that server.
struct RunningMap {
  std::string_view map;
  Moment since;
};
RunningMap MapRunningAt(const PlannedLog& log, size_t begin, const MapsByServer& server_maps);

}  // namespace varnokel
