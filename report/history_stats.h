// SPDX-License-Identifier: GPL-3.0-or-later
// Sums of the event store's rows over a stretch of days, and the rankings
// the history pages show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/site_history.h"

namespace varnokel {

// A player's counts over the days [from, to].
struct PlayerTotals {
  uint32_t player = 0;
  int64_t kills = 0;
  int64_t deaths = 0;
  int64_t headshots = 0;
  int64_t seconds = 0;
  int64_t objectives = 0;
  int64_t weighted_kills = 0;  // kills with each of the 24 weapons times its weight
  DayNumber last_day = 0;
};

struct DayRange {
  DayNumber from = 0;
  DayNumber to = 0;  // inclusive
  bool Holds(DayNumber day) const { return day >= from && day <= to; }
};

// Every day there is.
inline constexpr DayRange kAllDays{INT32_MIN, INT32_MAX};

// The totals of every player with a row in `range` (of `map` only, when it is
// given), by player index; bots left out.
std::vector<PlayerTotals> SumPlayers(const SiteHistory& history, DayRange range,
                                     const uint32_t* map = nullptr);

// The skill value over a period, as the skill table computes it from a
// player file: weighted kills * 10 / (deaths + 1), plus 10 per bomb planted
// or defused. Hostages touched or killed are not in the store and add
// nothing.
int64_t PeriodSkill(const PlayerTotals& totals);

// Best first: by skill, then kills, then the player's index (stable).
void RankBySkill(std::vector<PlayerTotals>& players);
// Best first: by kills, then fewer deaths, then index.
void RankByKills(std::vector<PlayerTotals>& players);

// Headshots per kill in whole percent; 0 without kills.
int64_t HeadshotPercent(int64_t headshots, int64_t kills);

// Distinct players per group (a map, a day, a server): add a pair for every
// row, then count. Sorting pairs beats a tree of them many times over.
class PlayersPerGroup {
 public:
  explicit PlayersPerGroup(size_t groups) : groups_(groups) {}
  void Add(size_t group, uint32_t player) { pairs_.push_back(uint64_t{group} << 32 | player); }
  // The number of distinct players of each group.
  std::vector<int64_t> Count();

 private:
  size_t groups_;
  std::vector<uint64_t> pairs_;
};

// What was played on each map, by map index.
struct MapTotals {
  int64_t minutes = 0;
  int64_t starts = 0;
  int64_t kills = 0;
  int64_t headshots = 0;
  size_t players = 0;  // bots left out
  bool played = false;
};
std::vector<MapTotals> SumMaps(const SiteHistory& history);

// Each player's name as last seen (the name with the latest last day; the id
// when the store has none), by player index.
std::vector<std::string> CurrentNames(const SiteHistory& history);

}  // namespace varnokel
