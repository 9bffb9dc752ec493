#include "report/ranked_table.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <utility>

namespace varnokel {

namespace {

// Below this many values a comparison sort is quicker than counting.
constexpr size_t kRadixSortFrom = 512;
constexpr int kDigitBits = 8;
constexpr size_t kDigitValues = size_t{1} << kDigitBits;
constexpr uint32_t kSignBit = 0x80000000u;

// The positions of `values`, greatest value first, equal values in the order
// of their positions. A table of 100 000 players is ordered by counting the
// bytes of the values (stable, one pass per byte in which they differ).
std::vector<size_t> DescendingOrder(std::span<const int32_t> values) {
  const size_t n = values.size();
  std::vector<size_t> order(n);
  std::iota(order.begin(), order.end(), size_t{0});
  if (n < kRadixSortFrom) {
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return values[a] > values[b]; });
    return order;
  }
  // Keys whose unsigned order is the values' descending order.
  std::vector<uint32_t> keys(n);
  for (size_t i = 0; i < n; ++i) keys[i] = ~(static_cast<uint32_t>(values[i]) ^ kSignBit);
  std::vector<size_t> sorted(n);
  for (int shift = 0; shift < 32; shift += kDigitBits) {
    std::array<size_t, kDigitValues> starts{};
    for (uint32_t key : keys) ++starts[(key >> shift) % kDigitValues];
    if (std::find(starts.begin(), starts.end(), n) != starts.end()) continue;  // all alike
    size_t start = 0;
    for (size_t& count : starts) start += std::exchange(count, start);
    for (size_t index : order) sorted[starts[(keys[index] >> shift) % kDigitValues]++] = index;
    order.swap(sorted);
  }
  return order;
}

}  // namespace

std::vector<RankedRow> RankedTable(std::span<const int32_t> values) {
  const std::vector<size_t> order = DescendingOrder(values);
  std::vector<RankedRow> rows;
  rows.reserve(order.size());
  for (size_t k = 0; k < order.size(); ++k) {
    const bool tied = k > 0 && values[order[k]] == values[order[k - 1]];
    rows.push_back({order[k], tied ? rows.back().place : static_cast<int32_t>(k + 1)});
  }
  return rows;
}

}  // namespace varnokel
