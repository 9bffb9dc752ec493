#include "report/history_stats.h"

#include <algorithm>

#include "db/player_file.h"

namespace varnokel {

std::vector<PlayerTotals> SumPlayers(const SiteHistory& history, DayRange range,
                                     const uint32_t* map) {
  std::vector<PlayerTotals> by_player(history.players.size());
  std::vector<char> seen(history.players.size(), 0);
  for (const PlayerDayRow& row : history.days) {
    if (!range.Holds(row.day) || (map && row.map != *map)) continue;
    PlayerTotals& totals = by_player[row.player];
    totals.kills += row.kills;
    totals.deaths += row.deaths;
    totals.headshots += row.headshots;
    totals.seconds += row.seconds;
    totals.objectives += row.objectives;
    totals.last_day = seen[row.player] ? std::max(totals.last_day, row.day) : row.day;
    seen[row.player] = 1;
  }
  if (!map) {
    for (const WeaponDayRow& row : history.weapons) {
      if (range.Holds(row.day))
        by_player[row.player].weighted_kills += row.kills * WeaponWeightOf(row.weapon);
    }
  }
  std::vector<PlayerTotals> players;
  for (uint32_t p = 0; p < by_player.size(); ++p) {
    if (!seen[p] || IsBotId(history.players[p])) continue;
    by_player[p].player = p;
    players.push_back(by_player[p]);
  }
  return players;
}

int64_t PeriodSkill(const PlayerTotals& totals) {
  const int64_t divisor = totals.deaths + 1 == 0 ? 1 : totals.deaths + 1;
  return totals.weighted_kills * 10 / divisor + 10 * totals.objectives;
}

void RankBySkill(std::vector<PlayerTotals>& players) {
  std::vector<std::pair<int64_t, size_t>> keys;
  keys.reserve(players.size());
  for (size_t k = 0; k < players.size(); ++k) keys.emplace_back(PeriodSkill(players[k]), k);
  std::stable_sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
    if (a.first != b.first) return a.first > b.first;
    return players[a.second].kills > players[b.second].kills;
  });
  std::vector<PlayerTotals> ranked;
  ranked.reserve(players.size());
  for (const auto& key : keys) ranked.push_back(players[key.second]);
  players = std::move(ranked);
}

void RankByKills(std::vector<PlayerTotals>& players) {
  std::stable_sort(players.begin(), players.end(), [](const auto& a, const auto& b) {
    if (a.kills != b.kills) return a.kills > b.kills;
    return a.deaths < b.deaths;
  });
}

int64_t HeadshotPercent(int64_t headshots, int64_t kills) {
  return kills > 0 ? headshots * 100 / kills : 0;
}

std::vector<int64_t> PlayersPerGroup::Count() {
  std::sort(pairs_.begin(), pairs_.end());
  std::vector<int64_t> counts(groups_);
  for (size_t k = 0; k < pairs_.size(); ++k)
    if (k == 0 || pairs_[k] != pairs_[k - 1]) ++counts[pairs_[k] >> 32];
  return counts;
}

std::vector<MapTotals> SumMaps(const SiteHistory& h) {
  std::vector<MapTotals> maps(h.maps.size());
  PlayersPerGroup players(h.maps.size());
  for (const PlayerDayRow& row : h.days) {
    MapTotals& m = maps[row.map];
    m.played = true;
    m.kills += row.kills;
    m.headshots += row.headshots;
    if (!IsBotId(h.players[row.player])) players.Add(row.map, row.player);
  }
  const std::vector<int64_t> counts = players.Count();
  for (size_t m = 0; m < maps.size(); ++m) maps[m].players = static_cast<size_t>(counts[m]);
  for (const MapDayRow& row : h.map_days) {
    maps[row.map].played = true;
    maps[row.map].minutes += row.minutes;
    maps[row.map].starts += row.starts;
  }
  return maps;
}

std::vector<std::string> CurrentNames(const SiteHistory& history) {
  std::vector<std::string> names(history.players);
  std::vector<DayNumber> last(history.players.size(), INT32_MIN);
  for (const NameRow& row : history.names) {
    if (row.last < last[row.player]) continue;
    last[row.player] = row.last;
    names[row.player] = row.name;
  }
  return names;
}

}  // namespace varnokel
