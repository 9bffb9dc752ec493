#include "skin/core/region_from_bitmap.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr std::uint32_t kKey = 0x00FF00FF;  // the transparent colour
constexpr std::uint32_t kInk = 0x00203040;

// A picture of `width` × `height` from a row pattern ('.' key, '#' ink).
std::vector<std::uint32_t> Picture(const std::vector<std::string>& rows) {
  std::vector<std::uint32_t> pixels;
  for (const std::string& row : rows) {
    for (char c : row) pixels.push_back(c == '.' ? kKey : kInk);
  }
  return pixels;
}

RegionRects Scan(const std::vector<std::string>& rows, bool transparent = true) {
  const std::vector<std::uint32_t> p = Picture(rows);
  const int w = static_cast<int>(rows.at(0).size());
  return RegionRectsFromPixels(p.data(), w, static_cast<int>(rows.size()), w, kKey, transparent);
}

TEST(RegionFromBitmap, RunsOfARow) {
  EXPECT_EQ(Scan({".##.#"}).All(), (std::vector<RegionRect>{{1, 0, 3, 1}, {4, 0, 5, 1}}));
  EXPECT_EQ(Scan({"..", ".#", "#."}).All(), (std::vector<RegionRect>{{1, 1, 2, 2}, {0, 2, 1, 3}}));
  // With the colour not transparent the runs are the matching pixels.
  EXPECT_EQ(Scan({".##.#"}, false).All(), (std::vector<RegionRect>{{0, 0, 1, 1}, {3, 0, 4, 1}}));
}

TEST(RegionFromBitmap, EveryPixelTransparentGivesNoRectangle) {
  const RegionRects r = Scan({"....", "....", "...."});
  EXPECT_TRUE(r.All().empty());
  ASSERT_EQ(r.batches.size(), 1u);
  EXPECT_EQ(r.batches[0].bound, kEmptyRegionBound);
  EXPECT_EQ(r.batches[0].capacity, 100u);
}

TEST(RegionFromBitmap, NoTransparentPixelGivesOneRectanglePerRow) {
  const RegionRects r = Scan({"###", "###", "###", "###"});
  EXPECT_EQ(r.All(),
            (std::vector<RegionRect>{{0, 0, 3, 1}, {0, 1, 3, 2}, {0, 2, 3, 3}, {0, 3, 3, 4}}));
  EXPECT_EQ(r.batches[0].bound, (RegionRect{0, 0, 3, 4}));
}

// Rows are never merged and only the red, green and blue bytes count.
TEST(RegionFromBitmap, MatchIgnoresTheFourthByte) {
  std::vector<std::uint32_t> p = {kKey | 0xFF000000u, kInk, kKey + 1, kKey};
  const RegionRects r = RegionRectsFromPixels(p.data(), 4, 1, 4, kKey, true);
  EXPECT_EQ(r.All(), (std::vector<RegionRect>{{1, 0, 3, 1}}));
}

TEST(RegionFromBitmap, StrideSkipsRowPadding) {
  // Two rows of 3 pixels stored 5 apart; the padding would otherwise form runs.
  std::vector<std::uint32_t> p = {kInk, kKey, kInk, kInk, kInk, kKey, kInk, kKey, kKey, kKey};
  const RegionRects r = RegionRectsFromPixels(p.data(), 3, 2, 5, kKey, true);
  EXPECT_EQ(r.All(), (std::vector<RegionRect>{{0, 0, 1, 1}, {2, 0, 3, 1}, {1, 1, 2, 2}}));
}

// 1000 × 10 alternating pixels: 5000 rectangles in parts of 2000, 2000, 1000;
// the buffer grows in steps of 100 to 2000 and keeps that size.
TEST(RegionFromBitmap, BatchesOfTwoThousand) {
  std::vector<std::uint32_t> p(1000 * 10);
  for (std::size_t i = 0; i < p.size(); ++i) p[i] = (i % 2 == 0) ? kKey : kInk;
  const RegionRects r = RegionRectsFromPixels(p.data(), 1000, 10, 1000, kKey, true);
  ASSERT_EQ(r.batches.size(), 3u);
  EXPECT_EQ(r.batches[0].rects.size(), 2000u);
  EXPECT_EQ(r.batches[1].rects.size(), 2000u);
  EXPECT_EQ(r.batches[2].rects.size(), 1000u);
  for (const RegionBatch& b : r.batches) EXPECT_EQ(b.capacity, 2000u);
  EXPECT_EQ(r.batches[0].bound, (RegionRect{1, 0, 1000, 4}));
  EXPECT_EQ(r.batches[1].bound, (RegionRect{1, 4, 1000, 8}));
  EXPECT_EQ(r.batches[2].bound, (RegionRect{1, 8, 1000, 10}));
  EXPECT_EQ(r.All().size(), 5000u);
  EXPECT_EQ(r.All()[4999], (RegionRect{999, 9, 1000, 10}));

  // Exactly 2000 rectangles: the last part is empty.
  const RegionRects exact = RegionRectsFromPixels(p.data(), 1000, 4, 1000, kKey, true);
  ASSERT_EQ(exact.batches.size(), 2u);
  EXPECT_TRUE(exact.batches[1].rects.empty());

  // 150 rectangles: the buffer grew once.
  const RegionRects small = RegionRectsFromPixels(p.data(), 300, 1, 300, kKey, true);
  ASSERT_EQ(small.batches.size(), 1u);
  EXPECT_EQ(small.batches[0].rects.size(), 150u);
  EXPECT_EQ(small.batches[0].capacity, 200u);
}

TEST(RegionFromBitmap, NoPixels) {
  EXPECT_TRUE(RegionRectsFromPixels(nullptr, 10, 10, 10, kKey, true).All().empty());
  std::vector<std::uint32_t> p(4, kInk);
  EXPECT_TRUE(RegionRectsFromPixels(p.data(), 0, 4, 1, kKey, true).All().empty());
}

}  // namespace
