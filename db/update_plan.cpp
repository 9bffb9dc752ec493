#include "db/update_plan.h"

#include <algorithm>
#include <utility>

#include "log/line_count.h"
#include "log/log_buffer.h"

namespace varnokel {

namespace {

// Bytes of the text up to its last complete line, or all of it when its last
// line is finished.
size_t PlannedBytes(const LoadedLog& loaded, std::string_view text, bool again) {
  if (!loaded.line_end.empty() || loaded.settled || again) return text.size();
  const size_t lf = text.rfind('\n');
  return lf == std::string_view::npos ? 0 : lf + 1;
}

// Adds [begin, end) to the ranges (empty only for an empty last line).
void AddRange(std::vector<LineRange>& ranges, size_t begin, size_t end, size_t text_size) {
  if (begin == end && end != text_size) return;
  if (!ranges.empty() && ranges.back().end == begin) {
    ranges.back().end = end;
  } else {
    ranges.push_back({begin, end});
  }
}

// The lines of each chunk the ledger does not hold.
std::vector<LineRange> RangesToFold(const PlannedLog& log) {
  std::vector<LineRange> ranges;
  for (size_t i = 0; i < log.chunks.size(); ++i) {
    const LineChunk& chunk = log.chunks[i];
    const ChunkCover& cover = log.match.covers[i];
    if (cover.matched) continue;
    const uint32_t from = std::max(cover.front, cover.known);
    const uint32_t to = chunk.lines - cover.back;
    if (from >= to) continue;
    AddRange(ranges, from == 0 ? chunk.begin : LineStartAfter(log.text, chunk.begin, from),
             to == chunk.lines ? chunk.end : LineStartAfter(log.text, chunk.begin, to),
             log.text.size());
  }
  return ranges;
}

// A loaded log (or the part of a growing one) before the ledger is asked.
PlannedLog StartPlan(const LogBuffer& buffer, const LoadedLog& loaded, const LogStart& start,
                     bool again) {
  PlannedLog log;
  log.name = loaded.name;
  log.server = loaded.server;
  log.text = buffer.LogText(loaded);
  log.line_end = loaded.line_end;
  log.skipped = start.skipped;
  log.start = ContentStart{start.skipped == 0, start.anchor, start.folded - start.skipped};
  log.line_index = &loaded.line_index;
  log.lines = loaded.line_index.line_ends() + 1;
  log.planned = PlannedBytes(loaded, log.text, again);
  return log;
}

// Counts the lines the log folds, and of the other `planned_lines` those the
// database holds.
void CountLines(PlannedLog& log, size_t planned_lines) {
  log.lines_to_fold = 0;
  for (const LineRange& range : log.ranges) log.lines_to_fold += log.LinesIn(range);
  log.lines_already = std::max(planned_lines, log.lines_to_fold) - log.lines_to_fold;
}

// Cuts the log's chunks, plans what the ledger does not hold of them, and
// records them in `ledger`.
void CutAndMatch(PlannedLog& log, Ledger& ledger, bool again) {
  const bool last_is_line = log.planned == log.text.size();
  log.chunks = ChunkLines(log.text.substr(0, log.planned), last_is_line);
  log.match = MatchChunks(ledger, log.text, last_is_line ? log.line_end : std::string_view(),
                          log.chunks, log.start);
  log.ranges.clear();
  if (again) {
    if (!log.chunks.empty()) log.ranges.push_back({0, log.chunks.back().end});
  } else {
    log.ranges = RangesToFold(log);
  }
  size_t planned_lines = 0;
  for (const LineChunk& chunk : log.chunks) planned_lines += chunk.lines;
  CountLines(log, planned_lines);
  RecordChunks(ledger, log.text, log.chunks, log.match, log.start, log.ContentSize(), log.name);
}

// Plans the whole log without its chunks, for a ledger that holds none.
void FoldAll(PlannedLog& log) {
  const bool last_is_line = log.planned == log.text.size();
  if (log.planned > 0 || last_is_line) log.ranges.push_back({0, log.planned});
  CountLines(log, 0);
}

UpdatePlan PlanLogs(const LogBuffer& buffer, std::span<const LogStart> starts, Ledger ledger,
                    bool again) {
  UpdatePlan plan;
  plan.again = again;
  plan.chunks_later = starts.empty() && buffer.logs().size() == 1 && ledger.runs().empty() &&
                      ledger.prefixes().empty();
  plan.ledger_before = ledger;
  plan.ledger_after = std::move(ledger);
  for (size_t i = 0; i < buffer.logs().size(); ++i) {
    const LogStart start = i < starts.size() ? starts[i] : LogStart{};
    PlannedLog log = StartPlan(buffer, buffer.logs()[i], start, again);
    log.start.own_lines = !starts.empty();  // the listener's day files
    if (plan.chunks_later) {
      FoldAll(log);
    } else {
      CutAndMatch(log, plan.ledger_after, again);
    }
    plan.logs.push_back(std::move(log));
  }
  return plan;
}

}  // namespace

size_t PlannedLog::LinesIn(const LineRange& range) const {
  const size_t line_ends =
      line_index->CountBefore(text, range.end) - line_index->CountBefore(text, range.begin);
  return line_ends + (range.end == text.size() ? 1 : 0);
}

bool UpdatePlan::AnythingAlreadyFolded() const {
  return std::any_of(logs.begin(), logs.end(),
                     [](const PlannedLog& log) { return log.lines_already > 0; });
}

size_t UpdatePlan::LinesToFold() const {
  size_t lines = 0;
  for (const PlannedLog& log : logs) lines += log.lines_to_fold;
  return lines;
}

UpdatePlan PlanUpdate(const LogBuffer& buffer, const Ledger& ledger, bool again) {
  return PlanLogs(buffer, {}, ledger, again);
}

UpdatePlan PlanUpdate(const LogBuffer& buffer, std::span<const LogStart> starts, Ledger ledger) {
  return PlanLogs(buffer, starts, std::move(ledger), /*again=*/false);
}

LogStart NextStart(const PlannedLog& log, const LogStart& start) {
  LogStart next = start;
  for (size_t i = log.chunks.size(); i-- > 0;) {
    if (log.chunks[i].complete) {
      next.skipped = log.skipped + log.chunks[i].end;
      next.anchor = log.chunks[i].digest;
      break;
    }
  }
  next.folded = std::max(start.folded, log.ContentSize());
  return next;
}

Ledger LedgerAfterCut(const UpdatePlan& plan) {
  Ledger ledger = plan.ledger_before;
  for (PlannedLog log : plan.logs) CutAndMatch(log, ledger, plan.again);
  return ledger;
}

Ledger LedgerAfter(const UpdatePlan& plan, size_t stop_log, size_t stop_offset) {
  if (stop_log >= plan.logs.size()) return plan.ledger_after;
  Ledger ledger = plan.ledger_before;
  for (size_t i = 0; i < stop_log; ++i) {
    const PlannedLog& log = plan.logs[i];
    RecordChunks(ledger, log.text, log.chunks, log.match, log.start, log.ContentSize(), log.name);
  }
  // The stopping log as if it ended before the failing line.
  const PlannedLog& log = plan.logs[stop_log];
  const std::vector<LineChunk> chunks =
      ChunkLines(log.text.substr(0, stop_offset), /*last_is_line=*/false);
  const ChunkMatch match = MatchChunks(ledger, log.text, {}, chunks, log.start);
  RecordChunks(ledger, log.text, chunks, match, log.start, log.skipped + stop_offset, log.name);
  return ledger;
}

}  // namespace varnokel
