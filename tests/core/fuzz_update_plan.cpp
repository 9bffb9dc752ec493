// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: an update's plan for any logs against any ledger (a
// damaged one is refused, as the update refuses it). The input is a ledger,
// then up to three logs, each after a line "#--". No line of a log is
// both in the database already and folded, the ledger after the plan writes
// itself back unchanged, and once the logs are planned one after another,
// each in an update of its own, none of them folds anything when planned
// again (several logs in one update may hold each other's lines by guesses
// that a second plan guesses otherwise).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"
#include "db/ledger.h"
#include "db/update_plan.h"
#include "log/log_buffer.h"

namespace {

constexpr std::string_view kSeparator = "\n#--\n";
constexpr size_t kMostLogs = 3;

void Check(bool ok) {
  if (!ok) std::abort();
}

std::vector<std::string_view> SplitInput(std::string_view bytes) {
  std::vector<std::string_view> pieces;
  for (size_t at; pieces.size() < kMostLogs && (at = bytes.find(kSeparator)) != bytes.npos;) {
    pieces.push_back(bytes.substr(0, at));
    bytes.remove_prefix(at + kSeparator.size());
  }
  pieces.push_back(bytes);
  return pieces;
}

// The logs in a buffer of their own and the plan for them (which points into it).
struct Planned {
  std::unique_ptr<varnokel::LogBuffer> buffer = std::make_unique<varnokel::LogBuffer>();
  varnokel::UpdatePlan plan;
};

Planned Plan(const std::vector<std::string_view>& logs, const varnokel::Ledger& ledger) {
  Planned planned;
  for (std::string_view log : logs) planned.buffer->Append(varnokel::LogContribution(log));
  planned.plan = varnokel::PlanUpdate(*planned.buffer, ledger, /*again=*/false);
  return planned;
}

// The plan, the ledger it leaves, and that ledger written and read back.
varnokel::Ledger PlanAndLearn(const std::vector<std::string_view>& logs,
                              const varnokel::Ledger& ledger) {
  const Planned planned = Plan(logs, ledger);
  const varnokel::UpdatePlan& plan = planned.plan;
  for (const varnokel::PlannedLog& log : plan.logs)
    Check(log.lines_already + log.lines_to_fold <= log.lines);
  const varnokel::Ledger after = plan.chunks_later
                                     ? varnokel::LedgerAfterCut(plan)
                                     : varnokel::LedgerAfter(plan, plan.logs.size(), 0);
  const std::string text = after.Format();
  Check(varnokel::Ledger::Parse(text, ".ledger").Format() == text);
  return after;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string_view> pieces =
      SplitInput({reinterpret_cast<const char*>(data), size});
  varnokel::Ledger ledger;
  try {
    ledger = varnokel::Ledger::Parse(pieces[0], ".ledger");
  } catch (const varnokel::FileError&) {
    return 0;
  }
  const std::vector<std::string_view> logs(pieces.begin() + 1, pieces.end());
  PlanAndLearn(logs, ledger);
  if (logs.empty()) return 0;
  varnokel::Ledger learnt = ledger;
  for (std::string_view log : logs) learnt = PlanAndLearn({log}, learnt);
  for (std::string_view log : logs) Check(Plan({log}, learnt).plan.LinesToFold() == 0);
  return 0;
}
