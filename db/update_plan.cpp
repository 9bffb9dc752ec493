#include "db/update_plan.h"

#include <algorithm>

#include "log/line_count.h"
#include "log/log_buffer.h"

namespace varnokel {

namespace {

char ByteAt(const LogContent& content, uint64_t i) {
  return i < content.text.size() ? content.text[i] : content.line_end[i - content.text.size()];
}

// The first line start at or after byte `folded` of the content: a line
// whose beginning is folded already is not folded again.
uint64_t NextLineStart(const LogContent& content, uint64_t folded) {
  if (folded == 0 || ByteAt(content, folded - 1) == '\n') return folded;
  const size_t lf = content.text.find('\n', std::min<uint64_t>(folded, content.text.size()));
  if (lf != std::string_view::npos) return lf + 1;
  for (uint64_t i = std::max<uint64_t>(folded, content.text.size()); i < content.size(); ++i) {
    if (ByteAt(content, i) == '\n') return i + 1;
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

UpdatePlan PlanUpdate(const LogBuffer& buffer, const Ledger& ledger, bool again) {
  UpdatePlan plan;
  plan.ledger_before = ledger;
  plan.again = again;
  for (const LoadedLog& loaded : buffer.logs()) {
    PlannedLog log;
    log.name = loaded.name;
    log.content = LogContent{buffer.LogText(loaded), loaded.line_end};
    log.match = ledger.Match(log.content);
    log.lines = loaded.line_ends + 1;
    // What earlier logs of this run fold counts as folded too.
    uint64_t folded = log.match.folded;
    for (size_t i = 0; i < plan.logs.size(); ++i) {
      const PlannedLog& earlier = plan.logs[i];
      if (!earlier.fold || earlier.content.size() <= folded) continue;
      const uint64_t shared = SharedBeginning(earlier.content, log.content);
      if (shared > folded) {
        folded = shared;
        log.same_as = i;
      }
    }
    log.folded = folded;
    const uint64_t start = again ? 0 : NextLineStart(log.content, folded);
    if (start == 0) {
      log.fold = true;  // never seen (an empty log too: it is one empty line)
      log.line_ends_to_fold = loaded.line_ends;
    } else if (start < log.content.text.size()) {
      log.fold = true;
      log.fold_from = static_cast<size_t>(start);
      log.lines_already = CountLineEnds(log.content.text.substr(0, log.fold_from));
      log.line_ends_to_fold = loaded.line_ends - log.lines_already;
    } else {
      log.lines_already = log.lines;
    }
    plan.logs.push_back(std::move(log));
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
    } else if (stop_offset > log.folded) {
      ledger.Record(grows, PrefixDigest(log.content, stop_offset), stop_offset, log.name);
    }
  }
  return ledger;
}

}  // namespace varnokel
