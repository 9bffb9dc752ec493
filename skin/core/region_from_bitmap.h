// SPDX-License-Identifier: GPL-3.0-or-later
// Window outlines from pictures: the picture's runs of pixels, row by row, as
// one-pixel-high rectangles, gathered in batches the way a window system
// takes them (at most 2000 per region part, storage growing by 100).
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

// Left, top, right, bottom; right and bottom exclusive.
struct RegionRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  friend bool operator==(const RegionRect&, const RegionRect&) = default;
};

// One region part: its rectangles, their bounding rectangle, and the
// capacity (in rectangles) the data buffer had when the part was built.
struct RegionBatch {
  std::vector<RegionRect> rects;
  RegionRect bound;
  std::size_t capacity = 0;
};

struct RegionRects {
  // Every part in order, the last one holding the rectangles left over after
  // the last row (possibly none).
  std::vector<RegionBatch> batches;

  // All rectangles of all parts, in order.
  std::vector<RegionRect> All() const;
};

constexpr std::size_t kRegionBatchSize = 2000;
constexpr std::size_t kRegionCapacityStep = 100;

// The bounding rectangle a part starts with (grows as rectangles are added).
constexpr RegionRect kEmptyRegionBound{std::numeric_limits<std::int32_t>::max(),
                                       std::numeric_limits<std::int32_t>::max(), 0, 0};

// Scans `height` rows of `width` pixels, top row first, each row
// `stridePixels` values after the one before. A pixel is 0x??RRGGBB (the top
// byte is ignored); it matches when its red, green and blue equal `rgb`'s.
// With colourIsTransparent a matching pixel ends a run (runs are the other
// pixels); otherwise a non-matching pixel ends it. Runs of different rows are
// never merged.
RegionRects RegionRectsFromPixels(const std::uint32_t* pixels, int width, int height,
                                  std::ptrdiff_t stridePixels, std::uint32_t rgb,
                                  bool colourIsTransparent);
