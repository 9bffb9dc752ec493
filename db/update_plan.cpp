#include "db/update_plan.h"

#include <algorithm>

#include "base/file_io.h"
#include "log/line_count.h"
#include "log/log_buffer.h"

namespace varnokel {

namespace {

// Byte `i` of the loaded text and line end (the skipped beginning not counted).
char ByteAt(const LogContent& content, uint64_t i) {
  return i < content.text.size() ? content.text[i] : content.line_end[i - content.text.size()];
}

// The first line start at or after byte `folded` of the content: a line
// whose beginning is folded already is not folded again. The skipped bytes
// of a part end with a line end.
uint64_t NextLineStart(const LogContent& content, uint64_t folded) {
  if (folded <= content.skipped) return content.skipped;
  const uint64_t at = folded - content.skipped;  // in the loaded part
  if (ByteAt(content, at - 1) == '\n') return folded;
  const size_t lf = content.text.find('\n', std::min<uint64_t>(at, content.text.size()));
  if (lf != std::string_view::npos) return content.skipped + lf + 1;
  const uint64_t loaded = content.size() - content.skipped;
  for (uint64_t i = std::max<uint64_t>(at, content.text.size()); i < loaded; ++i) {
    if (ByteAt(content, i) == '\n') return content.skipped + i + 1;
  }
  return content.size();
}

// How many bytes at the beginning of `a` and `b` are the same, as long as one
// is a beginning of the other; 0 otherwise.
uint64_t SharedBeginning(const LogContent& a, const LogContent& b) {
  const uint64_t length = std::min(a.size(), b.size());
  for (uint64_t i = 0; i < length;) {
    // Compare the texts in one go where both still have text.
    if (i < a.text.size() && i < b.text.size()) {
      const uint64_t span = std::min({a.text.size(), b.text.size(), length}) - i;
      if (a.text.substr(i, span) != b.text.substr(i, span)) return 0;
      i += span;
    } else {
      if (ByteAt(a, i) != ByteAt(b, i)) return 0;
      ++i;
    }
  }
  return length;
}

// True when the file a log was loaded from has grown since, beginning with the
// loaded content, and the ledger holds the grown file at least as far as
// the loaded content goes: another run folded a longer state of the same log
// after this one was loaded, so all of it is folded.
bool FoldedByALaterState(const LoadedLog& loaded, const LogContent& content, const Ledger& ledger) {
  if (loaded.source.empty() || content.skipped != 0) return false;
  const bool longer_entry =
      std::any_of(ledger.entries().begin(), ledger.entries().end(),
                  [&](const LedgerEntry& e) { return e.length > content.size(); });
  if (!longer_entry) return false;
  std::string now;
  try {
    now = ReadFileBytes(loaded.source);
  } catch (const FileError&) {
    return false;  // gone or unreadable: nothing to learn from it
  }
  if (now.size() <= content.size() ||
      std::string_view(now).substr(0, content.text.size()) != content.text ||
      std::string_view(now).substr(content.text.size(), content.line_end.size()) !=
          content.line_end)
    return false;
  return ledger.Match(LogContent{now, {}}).folded >= content.size();
}

}  // namespace

bool UpdatePlan::AnythingAlreadyFolded() const {
  return std::any_of(logs.begin(), logs.end(),
                     [](const PlannedLog& log) { return log.lines_already > 0; });
}

size_t UpdatePlan::LinesToFold() const {
  size_t lines = 0;
  for (const PlannedLog& log : logs) {
    if (log.fold) lines += log.line_ends_to_fold + 1;
  }
  return lines;
}

namespace {

// Adds one loaded log (or the part of a growing one) to `plan`.
void PlanLog(UpdatePlan& plan, const LoadedLog& loaded, const LogContent& content, bool again) {
  PlannedLog log;
  log.name = loaded.name;
  log.content = content;
  log.match = plan.ledger_before.Match(log.content);
  log.lines = loaded.line_index.line_ends() + 1;
  log.line_index = &loaded.line_index;
  // What earlier logs of this run fold counts as folded too (whole logs only:
  // parts are the ends of different logs).
  uint64_t folded = log.match.folded;
  for (size_t i = 0; i < plan.logs.size() && content.skipped == 0; ++i) {
    const PlannedLog& earlier = plan.logs[i];
    if (!earlier.fold || earlier.content.skipped != 0 || earlier.content.size() <= folded) continue;
    const uint64_t shared = SharedBeginning(earlier.content, log.content);
    if (shared > folded) {
      folded = shared;
      log.same_as = i;
    }
  }
  if (!again && folded < content.size() && FoldedByALaterState(loaded, content, plan.ledger_before))
    folded = content.size();
  log.folded = folded;
  const uint64_t start = again ? content.skipped : NextLineStart(log.content, folded);
  const uint64_t from = start - content.skipped;  // in the loaded text
  if (from == 0) {
    log.fold = true;  // never seen (an empty log too: it is one empty line)
    log.line_ends_to_fold = loaded.line_index.line_ends();
  } else if (from < log.content.text.size()) {
    log.fold = true;
    log.fold_from = static_cast<size_t>(from);
    log.lines_already = loaded.line_index.CountBefore(log.content.text, log.fold_from);
    log.line_ends_to_fold = loaded.line_index.line_ends() - log.lines_already;
  } else {
    log.lines_already = log.lines;
  }
  plan.logs.push_back(std::move(log));
}

}  // namespace

UpdatePlan PlanUpdate(const LogBuffer& buffer, const Ledger& ledger, bool again) {
  UpdatePlan plan;
  plan.ledger_before = ledger;
  plan.again = again;
  for (const LoadedLog& loaded : buffer.logs())
    PlanLog(plan, loaded, LogContent{buffer.LogText(loaded), loaded.line_end}, again);
  return plan;
}

UpdatePlan PlanUpdate(const LogBuffer& buffer, std::span<const LogStart> starts,
                      const Ledger& ledger) {
  UpdatePlan plan;
  plan.ledger_before = ledger;
  for (size_t i = 0; i < buffer.logs().size(); ++i) {
    const LoadedLog& loaded = buffer.logs()[i];
    const LogStart start = i < starts.size() ? starts[i] : LogStart{};
    PlanLog(plan, loaded,
            LogContent{buffer.LogText(loaded), loaded.line_end, start.skipped, start.skipped_hash},
            /*again=*/false);
  }
  return plan;
}

Ledger LedgerAfter(const UpdatePlan& plan, const std::vector<Digest>& whole, size_t stop_log,
                   size_t stop_offset) {
  Ledger ledger = plan.ledger_before;
  // The entry each log's content landed in, for the logs after it that
  // share its beginning.
  std::vector<std::optional<size_t>> entry_of(plan.logs.size());
  for (size_t i = 0; i < plan.logs.size() && i <= stop_log; ++i) {
    const PlannedLog& log = plan.logs[i];
    std::optional<size_t> grows = log.same_as ? entry_of[*log.same_as] : log.match.entry;
    entry_of[i] = grows;
    if (!log.fold) continue;
    if (i < stop_log) {
      if (log.content.size() > 0)
        entry_of[i] = ledger.Record(grows, whole[i], log.content.size(), log.name);
    } else if (log.content.skipped + stop_offset > log.folded) {
      const uint64_t folded = log.content.skipped + stop_offset;  // in the whole log
      ledger.Record(grows, PrefixDigest(log.content, folded), folded, log.name);
    }
  }
  return ledger;
}

}  // namespace varnokel
