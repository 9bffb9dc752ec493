// SPDX-License-Identifier: GPL-3.0-or-later
// How much one fold of the day files takes on: at most what it can finish
// well within its second, whatever the senders sent; the rest is left to the
// next one. Two bounds, both learned from the folds measured: the bytes of
// log text, and the player files a fold creates (a new file costs the disk
// many times what a changed one does, so a burst of new players is the
// costliest second there is). A fold that took longer than kLimit lowers
// them to what would have taken kTarget at the pace it managed; one that a
// bound cut short and that finished within kTarget raises that bound the
// same way; in between they stay, since a fold also costs what does not
// shrink with its size (every file that grew, every player file written).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace varnokel {

class FoldBudget {
 public:
  using Duration = std::chrono::steady_clock::duration;

  static constexpr Duration kTarget = std::chrono::milliseconds(600);
  static constexpr Duration kLimit = std::chrono::milliseconds(900);
  static constexpr uint64_t kFirstBytes = uint64_t{8} << 20;
  static constexpr uint64_t kLeastBytes = uint64_t{4} << 20;
  static constexpr uint64_t kMostBytes = uint64_t{256} << 20;
  // Low bounds cost more than they save: every fold also costs what does not
  // shrink with it, so the least keep a crowd of new players coming in. The
  // first fold knows nothing of the disk yet: it starts where a slow one
  // still stays within kLimit (ext4 right after many files were deleted
  // creates one in about a millisecond and more, 1.1 ms measured).
  static constexpr size_t kLeastNewPlayers = 500;
  static constexpr size_t kFirstNewPlayers = kLeastNewPlayers;
  static constexpr size_t kMostNewPlayers = 1000000;
  // A bound changes by at most this factor from one fold to the next.
  static constexpr double kMostChange = 4;

  // What a fold did.
  struct Measure {
    uint64_t bytes = 0;        // of new lines it took on
    bool bytes_cut = false;    // the bound on bytes left lines for later
    size_t new_players = 0;    // player files it created
    bool players_cut = false;  // the bound on new players stopped it
    Duration took{};
  };

  uint64_t bytes() const { return bytes_; }
  // The bound on bytes for a fold after `arrived` bytes came since the last
  // one: at least those, since a bound below what arrives leaves a backlog
  // that grows without end, and every line's delay with it (a fold costs
  // more by the player files its lines touch than by their bytes, and those
  // are hardly fewer when the bytes are cut).
  uint64_t BytesWith(uint64_t arrived) const;
  size_t new_players() const { return new_players_; }

  void Measured(const Measure& fold);

 private:
  uint64_t bytes_ = kFirstBytes;
  size_t new_players_ = kFirstNewPlayers;
};

// The most bytes each day file may give when files with `waiting` bytes each
// share `budget` bytes fairly: what a file waits with up to an even share,
// and the share left by smaller ones to the larger. kWholePart when all fit.
uint64_t FairShare(std::vector<uint64_t> waiting, uint64_t budget);

}  // namespace varnokel
