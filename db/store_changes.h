// What one update adds to the event store, summed up in memory while the
// lines are folded: counts per player, day, map and server, kills per weapon
// name, the names seen, the sessions and the maps run. It travels in the
// commit's journal (Serialize/Parse) and is added to the store in one
// transaction (EventStore::Apply).
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
struct Session {
  uint32_t player = 0, map = 0, server = 0;  // numbers of the names (see Name)
  Moment begin, end;
};

// Keys of the sums; the names in them are numbers from StoreChanges::Name.
struct PlayerDayKey {
  uint32_t player, map, server;
  int64_t day;
  bool operator==(const PlayerDayKey&) const = default;
};
struct WeaponDayKey {
  uint32_t player, weapon;
  int64_t day;
  bool operator==(const WeaponDayKey&) const = default;
};
struct NameKey {
  uint32_t player, name;
  bool operator==(const NameKey&) const = default;
};
struct MapDayKey {
  uint32_t map;
  int64_t day;
  bool operator==(const MapDayKey&) const = default;
};

struct KeyHash {
  size_t operator()(const PlayerDayKey& k) const;
  size_t operator()(const WeaponDayKey& k) const;
  size_t operator()(const NameKey& k) const;
  size_t operator()(const MapDayKey& k) const;
};

class StoreChanges {
 public:
  // The number of a text (player id, map, server, weapon or player name),
  // the same for the same text.
  uint32_t Name(std::string_view text);
  const std::string& NameText(uint32_t number) const { return names_[number]; }

  PlayerDayCounts& PlayerDay(const PlayerDayKey& key) { return player_days_[key]; }
  WeaponDayCounts& WeaponDay(const WeaponDayKey& key) { return weapon_days_[key]; }
  void NameSeen(uint32_t player, uint32_t name, int64_t day);
  void AddSession(const Session& session) { sessions_.push_back(session); }
  MapDayCounts& MapDay(const MapDayKey& key) { return map_days_[key]; }

  bool empty() const;

  const std::unordered_map<PlayerDayKey, PlayerDayCounts, KeyHash>& player_days() const {
    return player_days_;
  }
  const std::unordered_map<WeaponDayKey, WeaponDayCounts, KeyHash>& weapon_days() const {
    return weapon_days_;
  }
  const std::unordered_map<NameKey, NameDays, KeyHash>& names_seen() const { return names_seen_; }
  const std::vector<Session>& sessions() const { return sessions_; }
  const std::unordered_map<MapDayKey, MapDayCounts, KeyHash>& map_days() const { return map_days_; }

  // The bytes of these changes for commit number `commit`, and back. Parse
  // throws FileError naming `file` (the journal) when the bytes are damaged.
  std::string Serialize(uint64_t commit) const;
  static StoreChanges Parse(std::string_view bytes, const std::filesystem::path& file,
                            uint64_t& commit);

 private:
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  std::vector<std::string> names_;
  std::unordered_map<std::string, uint32_t, TextHash, std::equal_to<>> numbers_;
  std::unordered_map<PlayerDayKey, PlayerDayCounts, KeyHash> player_days_;
  std::unordered_map<WeaponDayKey, WeaponDayCounts, KeyHash> weapon_days_;
  std::unordered_map<NameKey, NameDays, KeyHash> names_seen_;
  std::vector<Session> sessions_;
  std::unordered_map<MapDayKey, MapDayCounts, KeyHash> map_days_;
};

}  // namespace varnokel
