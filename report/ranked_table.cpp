#include "report/ranked_table.h"

#include <algorithm>
#include <numeric>

namespace varnokel {

std::vector<RankedRow> RankedTable(std::span<const int32_t> values) {
  std::vector<size_t> order(values.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return values[a] > values[b]; });
  std::vector<RankedRow> rows;
  rows.reserve(order.size());
  for (size_t k = 0; k < order.size(); ++k) {
    const bool tied = k > 0 && values[order[k]] == values[order[k - 1]];
    rows.push_back({order[k], tied ? rows.back().place : static_cast<int32_t>(k + 1)});
  }
  return rows;
}

}  // namespace varnokel
