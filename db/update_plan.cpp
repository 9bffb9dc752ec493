#include "db/update_plan.h"

#include <algorithm>

#include "log/log_buffer.h"

namespace varnokel {

namespace {

size_t CountLineEnds(std::string_view text) {
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// The first line start at or after byte `folded` of the content: a line
// whose beginning is folded already is not folded again. The skipped bytes
// of a content end with a line end.
uint64_t NextLineStart(const LogContent& content, uint64_t folded) {
  auto byte_at = [&](uint64_t i) {
    i -= content.skipped;
    return i < content.text.size() ? content.text[i] : content.line_end[i - content.text.size()];
  };
  if (folded <= content.skipped || byte_at(folded - 1) == '\n') return folded;
  for (uint64_t i = folded; i < content.size(); ++i) {
    if (byte_at(i) == '\n') return i + 1;
  }
  return content.size();
}

// Adds one loaded log with its content to `plan`, folding from where the
// ledger (or `again`) says.
void PlanLog(UpdatePlan& plan, std::string_view name, const LogContent& content, bool again) {
  PlannedLog log;
  log.name = name;
  log.content = content;
  log.match = plan.ledger_after.Match(log.content);
  log.lines = CountLineEnds(log.content.text) + 1;
  const uint64_t start =
      again ? content.skipped
            : std::max(NextLineStart(log.content, log.match.folded), content.skipped);
  const uint64_t from = start - content.skipped;  // in the text
  if (from == 0) {
    log.fold = true;  // never seen (an empty log too: it is one empty line)
  } else if (from < log.content.text.size()) {
    log.fold = true;
    log.fold_from = static_cast<size_t>(from);
    log.lines_already = CountLineEnds(log.content.text.substr(0, log.fold_from));
  } else {
    log.lines_already = log.lines;
  }
  if (log.fold) {
    plan.ledger_after.Record(log.match, log.match.whole, log.content.size(), log.name);
  }
  plan.logs.push_back(log);
}

}  // namespace

bool UpdatePlan::AnythingAlreadyFolded() const {
  return std::any_of(logs.begin(), logs.end(),
                     [](const PlannedLog& log) { return log.lines_already > 0; });
}

size_t UpdatePlan::LinesToFold() const {
  size_t lines = 0;
  for (const PlannedLog& log : logs) {
    if (log.fold) lines += log.lines - log.lines_already;
  }
  return lines;
}

UpdatePlan PlanUpdate(const LogBuffer& buffer, const Ledger& ledger, bool again) {
  UpdatePlan plan;
  plan.ledger_before = ledger;
  plan.ledger_after = ledger;
  plan.again = again;
  for (const LoadedLog& loaded : buffer.logs()) {
    PlanLog(plan, loaded.name, LogContent{buffer.LogText(loaded), loaded.line_end}, again);
  }
  return plan;
}

UpdatePlan PlanUpdate(const LogBuffer& buffer, std::span<const LogStart> starts,
                      const Ledger& ledger) {
  UpdatePlan plan;
  plan.ledger_before = ledger;
  plan.ledger_after = ledger;
  for (size_t i = 0; i < buffer.logs().size(); ++i) {
    const LoadedLog& loaded = buffer.logs()[i];
    const LogStart start = i < starts.size() ? starts[i] : LogStart{};
    PlanLog(plan, loaded.name,
            LogContent{buffer.LogText(loaded), loaded.line_end, start.skipped, start.skipped_hash},
            /*again=*/false);
  }
  return plan;
}

}  // namespace varnokel
