// SPDX-License-Identifier: GPL-3.0-or-later
// How much a fold of the day files takes on: the share of each file, and the
// bounds learned from the folds before.
#include "listen/fold_budget.h"

#include <gtest/gtest.h>

#include "log/log_buffer.h"

namespace varnokel {
namespace {

using namespace std::chrono_literals;

TEST(FoldBudget, SmallFilesGiveAllTheyHoldAndTheLargerShareWhatIsLeft) {
  EXPECT_EQ(FairShare({10, 20, 30}, 60), LogBuffer::kWholePart);
  EXPECT_EQ(FairShare({10, 100, 1000}, 210), 100u);  // 10 whole, 100 each of the others
  EXPECT_EQ(FairShare({1000, 1000, 1000}, 300), 100u);
  EXPECT_EQ(FairShare({1000, 1000}, 1), 1u);  // never nothing
}

TEST(FoldBudget, BoundsFollowTheFoldsThatTookTooLongOrWereCutAndQuick) {
  FoldBudget budget;
  // Slow for its new players: the bound on them falls, the one on bytes stays.
  budget.Measured({.bytes = 1000, .new_players = 4000, .players_cut = true, .took = 2s});
  EXPECT_EQ(budget.new_players(), 1200u);  // 4000 * 0.6 s / 2 s
  EXPECT_EQ(budget.bytes(), FoldBudget::kFirstBytes);
  // Never below the least, however slow.
  for (int i = 0; i < 5; ++i) budget.Measured({.new_players = 100, .took = 60s});
  EXPECT_EQ(budget.new_players(), FoldBudget::kLeastNewPlayers);
  // Cut short and quick: it rises, by a bounded step.
  budget.Measured({.new_players = FoldBudget::kLeastNewPlayers, .players_cut = true, .took = 1ms});
  EXPECT_EQ(budget.new_players(), 4 * FoldBudget::kLeastNewPlayers);
  // Between the target and the limit, or quick and not cut: nothing learned.
  budget.Measured({.bytes = 1, .bytes_cut = true, .took = 800ms});
  budget.Measured({.bytes = 1, .took = 1ms});
  EXPECT_EQ(budget.bytes(), FoldBudget::kFirstBytes);
  // Slow without new players: bytes fall.
  budget.Measured({.bytes = FoldBudget::kFirstBytes, .bytes_cut = true, .took = 1200ms});
  EXPECT_EQ(budget.bytes(), FoldBudget::kFirstBytes / 2);
}

}  // namespace
}  // namespace varnokel
