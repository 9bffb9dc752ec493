#include "listen/fold_times.h"

#include <algorithm>
#include <cstdio>

namespace varnokel {

namespace {

constexpr uint64_t kPercent = 99;

// "0,48 s": seconds with a decimal comma.
std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", seconds);
  std::string shown = text;
  std::replace(shown.begin(), shown.end(), '.', ',');
  return shown;
}

}  // namespace

void FoldTimes::Add(Duration took) {
  ++count_;
  longest_ = std::max(longest_, took);
  const auto step = static_cast<size_t>(took / kResolution);
  ++steps_[std::min(step, kSteps - 1)];
}

std::string FoldTimes::Summary() const {
  if (count_ == 0) return "keine Durchg\xC3\xA4nge";
  // The least step that the wanted share of the folds stays within.
  const uint64_t wanted = (count_ * kPercent + 99) / 100;
  uint64_t seen = 0;
  size_t step = 0;
  while (seen + steps_[step] < wanted) seen += steps_[step++];
  const double within = std::chrono::duration<double>((step + 1) * kResolution).count();
  const double longest = std::chrono::duration<double>(longest_).count();
  const char* const folds = count_ == 1 ? " Durchgang" : " Durchg\xC3\xA4nge";
  return std::to_string(count_) + folds + ", l\xC3\xA4ngster " + Seconds(longest) + ", " +
         std::to_string(kPercent) + " % bis " + Seconds(std::min(within, longest));
}

}  // namespace varnokel
