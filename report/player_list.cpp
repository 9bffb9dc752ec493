#include "report/player_list.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include "report/page_frame.h"

namespace varnokel {

namespace {

// Minima over a fixed array of ranks, answering "first position after p whose
// rank is below r" by a descent from the root.
class MinTree {
 public:
  explicit MinTree(const std::vector<int>& ranks) {
    size_ = 1;
    while (size_ < ranks.size()) size_ *= 2;
    min_.assign(2 * size_, std::numeric_limits<int>::max());
    std::copy(ranks.begin(), ranks.end(), min_.begin() + static_cast<std::ptrdiff_t>(size_));
    for (size_t node = size_ - 1; node >= 1; --node)
      min_[node] = std::min(min_[2 * node], min_[2 * node + 1]);
  }

  void Set(size_t pos, int rank) {
    size_t node = pos + size_;
    min_[node] = rank;
    for (node /= 2; node >= 1; node /= 2) min_[node] = std::min(min_[2 * node], min_[2 * node + 1]);
  }

  // The first position >= from whose rank is strictly below `rank`, or npos.
  size_t FirstBelow(size_t from, int rank) const { return Find(1, 0, size_, from, rank); }

  static constexpr size_t npos = std::numeric_limits<size_t>::max();

 private:
  size_t Find(size_t node, size_t lo, size_t hi, size_t from, int rank) const {
    if (hi <= from || min_[node] >= rank) return npos;
    if (hi - lo == 1) return lo;
    const size_t mid = lo + (hi - lo) / 2;
    const size_t left = Find(2 * node, lo, mid, from, rank);
    return left != npos ? left : Find(2 * node + 1, mid, hi, from, rank);
  }

  size_t size_;
  std::vector<int> min_;
};

bool NameLess(std::string_view a, std::string_view b) {
  // std::char_traits<char> compares as unsigned bytes; a prefix comes first.
  return a.compare(b) < 0;
}

}  // namespace

std::vector<size_t> ExchangeSortOrder(const std::vector<std::string_view>& names) {
  std::vector<size_t> order(names.size());
  std::iota(order.begin(), order.end(), size_t{0});
  for (size_t i = 0; i < order.size(); ++i)
    for (size_t j = i; j < order.size(); ++j)
      if (NameLess(names[order[j]], names[order[i]])) std::swap(order[i], order[j]);
  return order;
}

std::vector<size_t> PlayerListOrder(const std::vector<std::string_view>& names) {
  const size_t n = names.size();
  std::vector<size_t> order(n);
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return NameLess(names[a], names[b]); });

  // Ranks of the names: equal names share one.
  std::vector<int> rank(n);
  int next = 0;
  bool all_distinct = true;
  for (size_t k = 0; k < n; ++k) {
    if (k > 0 && names[order[k]] == names[order[k - 1]]) {
      all_distinct = false;
    } else if (k > 0) {
      ++next;
    }
    rank[order[k]] = next;
  }
  // Without equal names every correct sort gives the exchange sort's order.
  if (all_distinct) return order;

  // Pass i of the exchange sort carries the smallest name seen so far in
  // position i: each time a strictly smaller name turns up at j, the carried
  // player is left at j and the smaller one taken on. So the players on the
  // chain of strict running minima of the suffix move one chain link onward
  // and the last of them (the first occurrence of the minimum) lands at i.
  std::vector<size_t> player(n);
  std::iota(player.begin(), player.end(), size_t{0});
  std::vector<int> at(rank);  // rank of the player at each position
  MinTree tree(at);
  std::vector<size_t> chain;
  for (size_t i = 0; i < n; ++i) {
    chain.assign(1, i);
    for (size_t p = tree.FirstBelow(i + 1, at[i]); p != MinTree::npos;
         p = tree.FirstBelow(p + 1, at[p]))
      chain.push_back(p);
    if (chain.size() == 1) continue;
    const size_t last_player = player[chain.back()];
    const int last_rank = at[chain.back()];
    for (size_t k = chain.size() - 1; k >= 1; --k) {
      player[chain[k]] = player[chain[k - 1]];
      at[chain[k]] = at[chain[k - 1]];
      tree.Set(chain[k], at[chain[k]]);
    }
    player[i] = last_player;
    at[i] = last_rank;
    tree.Set(i, last_rank);
  }
  return player;
}

std::string PlayerListPage(const PlayerListing& listing) {
  std::vector<std::string_view> names;
  names.reserve(listing.size());
  for (const ListedPlayer& player : listing) names.push_back(player.name);

  std::string page(PageHead(Page::kPlayerList));
  page.reserve(page.size() + listing.size() * 180 + TablePageFooter().size());
  int32_t number = 0;
  for (size_t index : PlayerListOrder(names)) {
    const ListedPlayer& player = listing[index];
    AppendPlayerRowStart(page, ++number, player.id, player.name);
    page += "</a></span></td></tr>";
  }
  page += TablePageFooter();
  return page;
}

}  // namespace varnokel
