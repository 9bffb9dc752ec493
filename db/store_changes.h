// SPDX-License-Identifier: GPL-3.0-or-later
// What one update adds to the event store, summed up in memory while the
// lines are folded: counts per player, day, map and server, kills per weapon
// name, the names seen, the sessions and the maps run. As a StoreRecord it
// travels in the commit's journal (Serialize, then Parse) and is added to the
// store in one transaction (EventStore::Apply).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace varnokel {

inline constexpr int64_t kUnknownDay = -1;  // a line whose date is no MM/DD/YYYY date

struct PlayerDayCounts {
  int64_t kills = 0, deaths = 0, headshots = 0, suicides = 0, team_kills = 0, bombs_planted = 0,
          bombs_defused = 0, hostages_rescued = 0, seconds = 0, sessions = 0;
};
struct WeaponDayCounts {
  int64_t kills = 0, headshots = 0;
};
struct NameDays {
  int64_t first = 0, last = 0;
};
struct MapDayCounts {
  int64_t starts = 0, seconds = 0;
};
// A moment of the log's clock in seconds since 1970-01-01, when known.
struct Moment {
  bool known = false;
  int64_t seconds = 0;
};
// The names in these are numbers from StoreChanges::Name.
struct Session {
  uint32_t player = 0, map = 0, server = 0;
  Moment begin, end;
};
struct PlayerDayKey {
  uint32_t player, map, server;
  int64_t day;
};
struct WeaponDayKey {
  uint32_t player, weapon;
  int64_t day;
};
struct MapDayKey {
  uint32_t map;
  int64_t day;
  bool operator==(const MapDayKey&) const = default;
};

// One player's sums of one day.
struct PlayerDaySums {
  struct Place {
    uint32_t map, server;
    PlayerDayCounts counts;
  };
  int64_t day = 0;
  std::vector<Place> places;                                  // few: looked through
  std::vector<std::pair<uint32_t, WeaponDayCounts>> weapons;  // by weapon name, a dozen or so
};

// The last map each server ran at the end of the last commit, by server,
// and the moment of the last line folded from it.
struct ServerMapState {
  std::string map;
  Moment last_seen;
};
using MapsByServer = std::unordered_map<std::string, ServerMapState>;

// One commit's changes of the store, as the journal carries them.
struct StoreRecord {
  struct PlayerDay {
    uint32_t player, map, server;
    int64_t day;
    PlayerDayCounts counts;
  };
  struct WeaponDay {
    uint32_t player;
    int64_t day;
    std::vector<std::pair<uint32_t, WeaponDayCounts>> weapons;
  };
  struct NameSeen {
    uint32_t player, name;
    NameDays days;
  };
  struct MapDay {
    uint32_t map;
    int64_t day;
    MapDayCounts counts;
  };

  uint64_t commit = 0;
  std::vector<std::string> names;
  std::vector<PlayerDay> player_days;
  std::vector<WeaponDay> weapon_days;
  std::vector<NameSeen> names_seen;
  std::vector<Session> sessions;
  std::vector<MapDay> map_days;
  struct ServerMap {
    uint32_t server, map;
    Moment last_seen;
  };
  std::vector<ServerMap> server_maps;

  // The bytes the journal carries, and back. Parse throws FileError naming
  // `file` (the journal) when they are damaged.
  std::string Serialize() const;
  static StoreRecord Parse(std::string_view bytes, const std::filesystem::path& file);
};

class StoreChanges {
 public:
  // The number of a text (player id, map, server, weapon or player name),
  // the same for the same text; numbers count up from 0.
  uint32_t Name(std::string_view text);

  PlayerDayCounts& PlayerDay(const PlayerDayKey& key);
  WeaponDayCounts& WeaponDay(const WeaponDayKey& key);
  void NameSeen(uint32_t player, uint32_t name, int64_t day);
  void AddSession(const Session& session) { sessions_.push_back(session); }
  MapDayCounts& MapDay(const MapDayKey& key) { return map_days_[key]; }
  // The map running on `server` where its last log of the update ends, and
  // the moment of that log's last line.
  void ServerMap(uint32_t server, uint32_t map, const Moment& last_seen) {
    server_maps_[server] = {map, last_seen};
  }

  bool empty() const;

  // These changes as commit number `commit` carries them.
  StoreRecord Record(uint64_t commit) const;

 private:
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  struct MapDayHash {
    size_t operator()(const MapDayKey& k) const {
      return std::hash<uint64_t>{}((uint64_t{k.map} << 32) ^ static_cast<uint64_t>(k.day));
    }
  };
  PlayerDaySums& Day(uint32_t player, int64_t day);

  std::vector<std::string> names_;
  std::unordered_map<std::string, uint32_t, TextHash, std::equal_to<>> numbers_;
  std::vector<std::vector<PlayerDaySums>> days_;  // by player name number, in the order met
  std::vector<std::unordered_map<uint32_t, NameDays>> names_seen_;  // by player: name -> days
  std::vector<Session> sessions_;
  std::unordered_map<MapDayKey, MapDayCounts, MapDayHash> map_days_;
  std::unordered_map<uint32_t, std::pair<uint32_t, Moment>> server_maps_;
};

}  // namespace varnokel
