// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/report/history_filler.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <string_view>

#include "db/event_store.h"
#include "db/store_changes.h"
#include "log/weapon_names.h"

namespace varnokel::bench {

namespace {

constexpr int64_t kSecondsPerDay = 24 * 60 * 60;
constexpr int kPlayersPerCommit = 10000;
constexpr int kHistoryDays = 120;
constexpr int kMaxDaysPerPlayer = 8;
constexpr int kMaxMapsPerDay = 3;
constexpr int kMaxWeaponsPerMap = 4;
constexpr int kServers = 2;

constexpr std::array<std::string_view, 16> kMaps = {
    "de_dust2",    "de_inferno", "de_nuke",    "de_train",   "cs_office",  "cs_italy",
    "de_aztec",    "de_cbble",   "cs_assault", "de_prodigy", "cs_militia", "de_vertigo",
    "de_piranesi", "cs_havana",  "de_chateau", "de_survivor"};
constexpr std::array<std::string_view, 24> kSyllables = {
    "ka",  "ro",   "mi", "zu",   "ne", "tor", "bel", "fi", "xx",  "dra", "gon", "lex",
    "sch", "wolf", "na", "ster", "ek", "vi",  "pa",  "qu", "ice", "jo",  "har", "ti"};

std::string NameOf(std::mt19937& random) {
  std::string name;
  if (random() % 4 == 0) {  // a clan tag, appended piece by piece (GCC 12 -O3 and -Wrestrict)
    name += '[';
    name += kSyllables[random() % kSyllables.size()];
    name += "] ";
  }
  const int parts = 2 + static_cast<int>(random() % 3);
  for (int k = 0; k < parts; ++k) name += kSyllables[random() % kSyllables.size()];
  name[0] = static_cast<char>(name[0] == '[' ? name[0] : name[0] - 'a' + 'A');
  if (random() % 3 == 0) name += std::to_string(random() % 100);
  return name;
}

// One player's day: a session on one map, a few maps' counts and weapons.
// kNoName: a player coming back under the name he had.
constexpr uint32_t kNoName = UINT32_MAX;

void AddDay(StoreChanges& changes, uint32_t player, uint32_t name, int64_t day,
            std::mt19937& random) {
  const uint32_t server = changes.Name("server " + std::to_string(random() % kServers));
  const int maps = 1 + static_cast<int>(random() % kMaxMapsPerDay);
  uint32_t map = 0;
  for (int m = 0; m < maps; ++m) {
    map = changes.Name(kMaps[(random() % kMaps.size() + random() % 3) % kMaps.size()]);
    PlayerDayCounts& counts = changes.PlayerDay({player, map, server, day});
    const int weapons = 1 + static_cast<int>(random() % kMaxWeaponsPerMap);
    for (int w = 0; w < weapons; ++w) {
      WeaponDayCounts& weapon =
          changes.WeaponDay({player, changes.Name(kWeaponNames[random() % kWeaponCount]), day});
      const int64_t kills = 1 + random() % 12, headshots = static_cast<int64_t>(random() % 4);
      weapon.kills += kills;
      weapon.headshots += headshots;
      counts.kills += kills;
      counts.headshots += headshots;
    }
    counts.deaths += 1 + random() % 20;
    counts.seconds += 300 + random() % 2400;
    counts.sessions += 1;
    if (random() % 5 == 0) counts.bombs_planted += 1;
    changes.MapDay({map, day}).starts += 1;
    changes.MapDay({map, day}).seconds += 1800;
  }
  const int64_t begin = day * kSecondsPerDay + 3600 * (8 + random() % 14);
  const int64_t length = 600 + static_cast<int64_t>(random() % 5400);
  changes.AddSession({player, map, server, {true, begin}, {true, begin + length}});
  if (name != kNoName) changes.NameSeen(player, name, day);
}

void Apply(const std::filesystem::path&, EventStore& store, const StoreChanges& changes) {
  const uint64_t commit = store.last_commit() + 1;
  store.Apply(changes.Record(commit));
}

}  // namespace

std::string BenchPlayerId(int n) {
  return "STEAM_0:" + std::to_string(n % 2) + ":" + std::to_string(n);
}

void FillHistory(const std::filesystem::path& database, int players, int64_t today) {
  EventStore store = EventStore::ForUpdate(database);
  std::mt19937 random(815);
  for (int first = 0; first < players; first += kPlayersPerCommit) {
    StoreChanges changes;
    for (int n = first; n < std::min(players, first + kPlayersPerCommit); ++n) {
      const uint32_t player = changes.Name(BenchPlayerId(n));
      const uint32_t old_name = changes.Name(NameOf(random));
      const uint32_t name = random() % 3 == 0 ? changes.Name(NameOf(random)) : old_name;
      const int days = 1 + static_cast<int>(random() % kMaxDaysPerPlayer);
      int64_t day = today - static_cast<int64_t>(random() % kHistoryDays);
      for (int d = 0; d < days && day <= today; ++d, day += 1 + static_cast<int64_t>(random() % 9))
        AddDay(changes, player, d == 0 ? old_name : name, day, random);
    }
    Apply(database, store, changes);
  }
}

void AddSessions(const std::filesystem::path& database, int players, int count, int round,
                 int64_t today) {
  EventStore store(database, EventStore::Access::kWrite);
  std::mt19937 random(1000 + static_cast<unsigned>(round));
  StoreChanges changes;
  for (int k = 0; k < count; ++k) {
    const int n = (round * 7 + k * (players / count)) % players;
    AddDay(changes, changes.Name(BenchPlayerId(n)), kNoName, today, random);
  }
  Apply(database, store, changes);
}

}  // namespace varnokel::bench
