#include "report/player_list.h"

#include <algorithm>
#include <numeric>

#include "report/page_frame.h"
#include "report/page_template.h"
#include "report/page_templates.h"

namespace varnokel {

namespace {

const PageTemplate kRow(templates::kPlayerListRow, {"number", "id", "name"});

// Counts over positions 0..n-1 with prefix sums and "k-th set position".
class CountTree {
 public:
  explicit CountTree(size_t n) : tree_(n + 1, 0) {}
  void Add(size_t pos, int delta) {
    for (size_t k = pos + 1; k < tree_.size(); k += k & (~k + 1)) tree_[k] += delta;
  }
  // The number of counted positions below `pos`.
  size_t CountBelow(size_t pos) const {
    int sum = 0;
    for (size_t k = pos; k > 0; k -= k & (~k + 1)) sum += tree_[k];
    return static_cast<size_t>(sum);
  }
  // The position of the k-th counted position (k from 1); all counts are 0 or 1.
  size_t Select(size_t k) const {
    size_t pos = 0;
    size_t step = 1;
    while (step * 2 < tree_.size()) step *= 2;
    for (; step > 0; step /= 2) {
      if (pos + step < tree_.size() && static_cast<size_t>(tree_[pos + step]) < k) {
        pos += step;
        k -= static_cast<size_t>(tree_[pos]);
      }
    }
    return pos;  // 0-based: the slot after the last prefix that has fewer than k
  }

 private:
  std::vector<int> tree_;
};

// The order in which the exchange sort finishes the players of one name.
//
// Only players with this name or a smaller one affect it, and among those the
// players of this name are the greatest: one of them moves only when it is at
// the front of the unsorted part, and then it jumps over the run of same-name
// players behind it to the first smaller name. From the first of them on, the
// run therefore rolls forward as one block: each smaller name it passes turns
// the block by one (its first player goes to its back), and each same-name
// player it reaches joins at its back. `gaps[k]` is the number of smaller
// names between the k-th and (k+1)-th player of the name in listing order,
// the last entry the number after the last player.
std::vector<size_t> RollingBlockOrder(const std::vector<size_t>& players,
                                      const std::vector<size_t>& gaps) {
  // The block is kept as a ring: `front` indexes its first player in an array
  // that only ever grows by insertions just before the front. The insertion
  // indexes are found first, then the array is rebuilt from them backwards.
  const size_t m = players.size();
  std::vector<size_t> insert_at(m, 0);
  size_t front = 0;
  for (size_t k = 1; k < m; ++k) {
    front = (front + gaps[k - 1] % k) % k;
    insert_at[k] = front;
    ++front;
  }
  front = (front + gaps[m - 1] % m) % m;

  std::vector<size_t> ring(m);
  CountTree free_slots(m);
  for (size_t slot = 0; slot < m; ++slot) free_slots.Add(slot, 1);
  for (size_t k = m; k-- > 0;) {
    const size_t slot = free_slots.Select(insert_at[k] + 1);
    ring[slot] = players[k];
    free_slots.Add(slot, -1);
  }
  std::rotate(ring.begin(), ring.begin() + static_cast<std::ptrdiff_t>(front), ring.end());
  return ring;
}

bool NameLess(std::string_view a, std::string_view b) {
  // std::char_traits<char> compares as unsigned bytes; a prefix comes first.
  return a.compare(b) < 0;
}

}  // namespace

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

  // Names in ascending order, each with its players in listing order; the
  // players of smaller names are counted by position as the names go by.
  std::vector<size_t> result;
  result.reserve(n);
  CountTree smaller(n);
  size_t smaller_total = 0;
  std::vector<size_t> players, gaps;
  for (size_t begin = 0; begin < n;) {
    size_t end = begin + 1;
    while (end < n && rank[order[end]] == rank[order[begin]]) ++end;
    players.assign(order.begin() + static_cast<std::ptrdiff_t>(begin),
                   order.begin() + static_cast<std::ptrdiff_t>(end));
    if (players.size() == 1) {
      result.push_back(players[0]);
    } else {
      gaps.clear();
      for (size_t k = 0; k + 1 < players.size(); ++k)
        gaps.push_back(smaller.CountBelow(players[k + 1]) - smaller.CountBelow(players[k]));
      gaps.push_back(smaller_total - smaller.CountBelow(players.back()));
      for (size_t player : RollingBlockOrder(players, gaps)) result.push_back(player);
    }
    for (size_t k = begin; k < end; ++k) smaller.Add(order[k], 1);
    smaller_total += end - begin;
    begin = end;
  }
  return result;
}

void AppendPlayerListPage(PageOutput& out, const PlayerListing& listing, const ListedTexts& texts) {
  std::vector<std::string_view> names;
  names.reserve(listing.size());
  for (const ListedPlayer& player : listing) names.push_back(player.name);

  std::string& page = out.text();
  page += PageHead(Page::kPlayerList);
  int32_t number = 0;
  const std::vector<size_t> order = PlayerListOrder(names);
  for (size_t k = 0; k < order.size(); ++k) {
    texts.FetchAhead(k, order.size(), [&](size_t j) { return order[j]; });
    kRow.Append(page, {NumberText(++number), texts.Link(order[k]), texts.ShownName(order[k])});
    out.Spill();
  }
  page += TablePageFooter();
}

Fingerprint PlayerListInput(const Fingerprint& names) {
  return PageInput("player list").Input(names).Value();
}

}  // namespace varnokel
