#include "skin/core/region_from_bitmap.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kRgbMask = 0x00FFFFFF;

// The region data being filled: rectangles, their bound and the capacity the
// buffer has grown to.
class RegionBuilder {
 public:
  void Add(const RegionRect& rect) {
    if (current_.rects.size() == capacity_) capacity_ += kRegionCapacityStep;
    current_.rects.push_back(rect);
    RegionRect& b = current_.bound;
    b.left = std::min(b.left, rect.left);
    b.top = std::min(b.top, rect.top);
    b.right = std::max(b.right, rect.right);
    b.bottom = std::max(b.bottom, rect.bottom);
    if (current_.rects.size() == kRegionBatchSize) Flush();
  }

  // Hands the rectangles gathered so far over as one part and starts anew;
  // the buffer keeps its capacity.
  void Flush() {
    current_.capacity = capacity_;
    result_.batches.push_back(std::move(current_));
    current_ = RegionBatch{};
    current_.bound = kEmptyRegionBound;
  }

  RegionRects Finish() {
    Flush();
    return std::move(result_);
  }

 private:
  RegionBatch current_{{}, kEmptyRegionBound, 0};
  std::size_t capacity_ = kRegionCapacityStep;
  RegionRects result_;
};

}  // namespace

std::vector<RegionRect> RegionRects::All() const {
  std::vector<RegionRect> all;
  for (const RegionBatch& batch : batches)
    all.insert(all.end(), batch.rects.begin(), batch.rects.end());
  return all;
}

RegionRects RegionRectsFromPixels(const std::uint32_t* pixels, int width, int height,
                                  std::ptrdiff_t stridePixels, std::uint32_t rgb,
                                  bool colourIsTransparent) {
  RegionBuilder builder;
  const std::uint32_t key = rgb & kRgbMask;
  for (int y = 0; pixels != nullptr && y < height; ++y) {
    const std::uint32_t* row = pixels + stridePixels * y;
    auto stops = [&](int x) { return ((row[x] & kRgbMask) == key) == colourIsTransparent; };
    int x = 0;
    while (x < width) {
      const int x0 = x;
      while (x < width && !stops(x)) ++x;
      if (x > x0) builder.Add(RegionRect{x0, y, x, y + 1});
      ++x;  // the pixel that ended the run belongs to no run
    }
  }
  return builder.Finish();
}
