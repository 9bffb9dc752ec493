// SPDX-License-Identifier: GPL-3.0-or-later
// What an update run folds from each loaded log, decided against the
// database's ledger before any player file is read or written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "db/chunk_match.h"
#include "db/ledger.h"
#include "db/line_chunks.h"
#include "log/line_count.h"

namespace varnokel {

class LogBuffer;

// Whole lines of a log's text: [begin, end), `end` after a LF or the text's end.
struct LineRange {
  size_t begin = 0;
  size_t end = 0;
};

struct PlannedLog {
  std::string_view name;      // the loaded file's name
  std::string_view server;    // the game server that wrote it (empty: not known)
  std::string_view text;      // its text in the buffer
  std::string_view line_end;  // the line end taken off its end
  uint64_t skipped = 0;       // bytes of its log before the text (a part read on)
  ContentStart start;
  // Bytes of the text taken into account: up to its last complete line, or
  // all of it when its last line is finished (a line end, a file unchanged
  // for a while, or folding again).
  size_t planned = 0;
  std::vector<LineChunk> chunks;  // of the planned text
  ChunkMatch match;               // against the ledger as the logs before it leave it
  std::vector<LineRange> ranges;  // what is folded, in order
  size_t lines = 0;               // lines of its text
  size_t lines_already = 0;       // of them, lines already in the database
  size_t lines_to_fold = 0;
  const LineIndex* line_index = nullptr;  // of its text

  bool fold() const { return !ranges.empty(); }
  size_t LinesIn(const LineRange& range) const;
  uint64_t ContentSize() const { return skipped + text.size() + line_end.size(); }
  bool WhollyFolded() const { return !fold() && lines_already > 0; }
  bool PartlyFolded() const { return fold() && lines_already > 0; }
};

struct UpdatePlan {
  std::vector<PlannedLog> logs;  // in buffer order
  Ledger ledger_before;          // the ledger the plan was made against
  Ledger ledger_after;           // the ledger once every planned line is folded
  bool again = false;
  // A single whole log against a ledger that holds nothing: it is folded
  // whole, and its chunks are cut while its lines are folded (LedgerAfterCut);
  // `ledger_after` and the log's chunks are then not filled in.
  bool chunks_later = false;

  // True when some loaded log is wholly or partly in the database already.
  bool AnythingAlreadyFolded() const;
  size_t LinesToFold() const;
};

// Plans the run: of each log only the lines the ledger (as the logs before it
// in the buffer leave it) does not hold are folded. A log's last line is
// taken only once finished: ended by a line end, or its file unchanged for
// kSettledAfter (LoadedLog::settled). With `again` every log is folded whole,
// as if there were no ledger; the ledger still learns of them.
UpdatePlan PlanUpdate(const LogBuffer& buffer, const Ledger& ledger, bool again);

// Where the loaded part of a growing log starts in the whole log (see
// LogBuffer::AppendFilePart): `skipped` bytes before it (up to a chunk start),
// the digest of the chunk before them, and how far the log is folded.
struct LogStart {
  uint64_t skipped = 0;
  std::optional<uint64_t> anchor;
  uint64_t folded = 0;  // at least `skipped`
};

// Plans a run over the parts of growing logs read on from where they were
// last read (LogBuffer::AppendFilePart), one `starts` entry per loaded log,
// so that the cost is that of the part, not of the whole log. What the
// ledger holds of the part is passed over, and so is what a start says is
// folded (a database deleted meanwhile is not filled with the log's
// beginning). The ledger is taken by value: a caller that moves it in spares
// a copy.
UpdatePlan PlanUpdate(const LogBuffer& buffer, std::span<const LogStart> starts, Ledger ledger);

// Where to read a growing log on from once `log` (planned from `start`) is
// folded: from its last incomplete chunk.
LogStart NextStart(const PlannedLog& log, const LogStart& start);

// The ledger after a plan with chunks_later: its log's chunks recorded.
Ledger LedgerAfterCut(const UpdatePlan& plan);

// The ledger after the run has folded the first `stop_log` logs whole and
// log `stop_log` up to byte `stop_offset` of its text (a line start);
// stop_log equal to the number of logs: all of them (not with chunks_later).
Ledger LedgerAfter(const UpdatePlan& plan, size_t stop_log, size_t stop_offset);

}  // namespace varnokel
