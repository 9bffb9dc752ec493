// What an update run folds from each loaded log, decided against the
// database's ledger before any player file is read or written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "db/ledger.h"
#include "log/line_count.h"

namespace varnokel {

class LogBuffer;

struct PlannedLog {
  std::string_view name;    // the loaded file's name
  std::string_view server;  // the game server that wrote it (empty: not known)
  LogContent content;       // its text and line end in the buffer
  LedgerMatch match;        // what the ledger knew of it before the run
  // An earlier log of the same run whose content is a beginning of this
  // one's (or the other way round), when it holds more than the ledger did.
  std::optional<size_t> same_as;
  uint64_t folded = 0;           // bytes of its content in the database before it is folded
  size_t fold_from = 0;          // where in its text folding starts (a line start)
  bool fold = false;             // false: nothing of it is folded
  size_t lines = 0;              // lines of its text
  size_t lines_already = 0;      // of them, lines already in the database
  size_t line_ends_to_fold = 0;  // LF characters in what it folds
  const LineIndex* line_index = nullptr;  // of its text

  bool WhollyFolded() const { return !fold && lines_already > 0; }
  bool PartlyFolded() const { return fold && lines_already > 0; }
};

struct UpdatePlan {
  std::vector<PlannedLog> logs;  // in buffer order
  Ledger ledger_before;          // the ledger the plan was made against
  bool again = false;

  // True when some loaded log is wholly or partly in the database already.
  bool AnythingAlreadyFolded() const;
  size_t LinesToFold() const;
};

// Plans the run: a log already in the ledger contributes only what follows
// the folded bytes (from the next line start on), a log wholly folded
// contributes nothing, and a log met twice in the buffer counts once. With
// `again` every log is folded whole, as if there were no ledger; the ledger
// still learns of them.
UpdatePlan PlanUpdate(const LogBuffer& buffer, const Ledger& ledger, bool again);

// Where a loaded log stands in the whole log it is a part of: its first
// `skipped` bytes (complete lines, ending before the loaded part) and the
// SHA-256 state over them, which must outlive the plan.
struct LogStart {
  uint64_t skipped = 0;
  const ContentHash* skipped_hash = nullptr;
};

// Plans a run over the parts of growing logs read on from where they were
// last read (LogBuffer::AppendFilePart), one `starts` entry per loaded log:
// each part is matched against the ledger as the end of its whole log (see
// LogContent), so that the cost is that of the part, not of the whole log.
// A part whose beginning the ledger holds contributes only what follows; a
// part of a log the ledger holds nothing of from its start on (a database
// deleted meanwhile) is folded whole. The ledger's entries cover each whole
// log.
UpdatePlan PlanUpdate(const LogBuffer& buffer, std::span<const LogStart> starts,
                      const Ledger& ledger);

// The ledger after the run has folded the first `stop_log` logs whole and
// log `stop_log` up to byte `stop_offset` of its text (its loaded part) (stop_log equal to the
// number of logs: all of them). `whole` holds the SHA-256 of each log's
// whole content (needed for the logs folded whole).
Ledger LedgerAfter(const UpdatePlan& plan, const std::vector<Digest>& whole, size_t stop_log,
                   size_t stop_offset);

}  // namespace varnokel
