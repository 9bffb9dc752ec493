#include "listen/fold_budget.h"

#include <algorithm>
#include <numeric>

#include "log/log_buffer.h"

namespace varnokel {

namespace {

// The bound `now` after a fold that managed `done` under it in `took`.
double Adjusted(double now, double done, FoldBudget::Duration took) {
  const double seconds = std::chrono::duration<double>(took).count();
  const double target = std::chrono::duration<double>(FoldBudget::kTarget).count();
  const double wanted = seconds > 0 ? done * target / seconds : now * FoldBudget::kMostChange;
  return std::clamp(wanted, now / FoldBudget::kMostChange, now * FoldBudget::kMostChange);
}

}  // namespace

void FoldBudget::Measured(const Measure& fold) {
  const bool too_long = fold.took > kLimit;
  const bool quick = fold.took < kTarget;
  // New players explain a long fold that created some; bytes one that did not.
  if ((too_long && fold.new_players > 0) || (quick && fold.players_cut)) {
    const double next = Adjusted(static_cast<double>(new_players_),
                                 static_cast<double>(fold.new_players), fold.took);
    new_players_ = std::clamp(static_cast<size_t>(next), kLeastNewPlayers, kMostNewPlayers);
  }
  if ((too_long && fold.new_players == 0) || (quick && fold.bytes_cut && !fold.players_cut)) {
    const double next =
        Adjusted(static_cast<double>(bytes_), static_cast<double>(fold.bytes), fold.took);
    bytes_ = std::clamp(static_cast<uint64_t>(next), kLeastBytes, kMostBytes);
  }
}

uint64_t FoldBudget::BytesWith(uint64_t arrived) const {
  return std::max(bytes_, std::min(arrived, kMostBytes));
}

uint64_t FairShare(std::vector<uint64_t> waiting, uint64_t budget) {
  if (std::accumulate(waiting.begin(), waiting.end(), uint64_t{0}) <= budget)
    return LogBuffer::kWholePart;
  std::sort(waiting.begin(), waiting.end());
  uint64_t left = budget;
  for (size_t k = 0; k < waiting.size(); ++k) {
    const uint64_t even = left / (waiting.size() - k);
    if (waiting[k] > even) return std::max<uint64_t>(even, 1);
    left -= waiting[k];
  }
  return LogBuffer::kWholePart;
}

}  // namespace varnokel
