// SPDX-License-Identifier: GPL-3.0-or-later
// How long the listener's folds took, for its closing summary: the longest,
// and what 99 in 100 of them stayed within, in bounded memory however long
// it listens.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace varnokel {

class FoldTimes {
 public:
  using Duration = std::chrono::steady_clock::duration;

  static constexpr auto kResolution = std::chrono::milliseconds(10);
  static constexpr size_t kSteps = 6000;  // a minute; longer ones count as that

  void Add(Duration took);

  // "12 Durchgänge, längster 0,48 s, 99 % bis 0,45 s"; "keine Durchgänge" without any.
  std::string Summary() const;

 private:
  uint64_t count_ = 0;
  Duration longest_{};
  std::vector<uint64_t> steps_ = std::vector<uint64_t>(kSteps);  // by kResolution
};

}  // namespace varnokel
