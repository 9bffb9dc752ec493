#include "db/store_changes.h"

#include <algorithm>
#include <optional>

#include "base/file_io.h"

namespace varnokel {

namespace {

// The bytes: a header line, the commit number, then each part as its count
// and its records. Numbers are written in 7-bit groups, lowest first, the
// high bit of a byte saying that another follows, signs folded in as
// 2n or -2n-1 (most numbers of a commit are small counts); a text is its size
// and its bytes (a player id may hold any byte but NUL and "/").
// A record of version 2 (left in a journal by an earlier program) has no
// moment with the map of each server.
constexpr std::string_view kHeader = "varnokel store changes 3\n";
constexpr std::string_view kVersion2Header = "varnokel store changes 2\n";
constexpr std::string_view kEnd = "end\n";
constexpr int kBitsPerByte = 7;
constexpr unsigned kMoreFollows = 0x80;
constexpr size_t kMaxNumberBytes = 10;  // 64 bits in 7-bit groups

class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}
  Writer& operator<<(int64_t number) {
    uint64_t folded =
        number < 0 ? ~(static_cast<uint64_t>(number) << 1) : static_cast<uint64_t>(number) << 1;
    while (folded >= kMoreFollows) {
      out_ += static_cast<char>((folded & (kMoreFollows - 1)) | kMoreFollows);
      folded >>= kBitsPerByte;
    }
    out_ += static_cast<char>(folded);
    return *this;
  }
  Writer& Text(std::string_view text) {
    *this << static_cast<int64_t>(text.size());
    out_ += text;
    return *this;
  }

 private:
  std::string& out_;
};

class Reader {
 public:
  Reader(std::string_view bytes, const std::filesystem::path& file) : rest_(bytes), file_(file) {}

  int64_t Number() {
    uint64_t folded = 0;
    for (size_t i = 0;; ++i) {
      if (i == rest_.size() || i == kMaxNumberBytes) throw Damaged();
      const auto byte = static_cast<unsigned char>(rest_[i]);
      folded |= static_cast<uint64_t>(byte & (kMoreFollows - 1)) << (kBitsPerByte * i);
      if ((byte & kMoreFollows) == 0) {
        rest_.remove_prefix(i + 1);
        break;
      }
    }
    return (folded & 1) != 0 ? static_cast<int64_t>(~(folded >> 1))
                             : static_cast<int64_t>(folded >> 1);
  }
  uint32_t Index(size_t below) {
    const int64_t number = Number();
    if (number < 0 || static_cast<uint64_t>(number) >= below) throw Damaged();
    return static_cast<uint32_t>(number);
  }
  size_t Count() { return Index(rest_.size() + 1); }  // no part has more records than bytes
  std::string_view Text() {
    const size_t size = Count();
    if (size > rest_.size()) throw Damaged();  // the count itself took bytes
    const std::string_view text = rest_.substr(0, size);
    rest_.remove_prefix(size);
    return text;
  }
  void Expect(std::string_view literal) {
    if (!rest_.starts_with(literal)) throw Damaged();
    rest_.remove_prefix(literal.size());
  }
  bool AtEnd() const { return rest_.empty(); }
  FileError Damaged() const {
    return FileError(FileError::Kind::kOpen, file_,
                     "besch\xC3\xA4"
                     "digtes Journal");
  }

 private:
  std::string_view rest_;
  const std::filesystem::path& file_;
};

void WriteMoment(Writer& out, const Moment& moment) {
  out << int64_t{moment.known} << moment.seconds;
}

Moment ReadMoment(Reader& in) {
  Moment moment;
  moment.known = in.Number() != 0;
  moment.seconds = in.Number();
  return moment;
}

}  // namespace

uint32_t StoreChanges::Name(std::string_view text) {
  const auto found = numbers_.find(text);
  if (found != numbers_.end()) return found->second;
  const auto number = static_cast<uint32_t>(names_.size());
  names_.emplace_back(text);
  numbers_.emplace(names_.back(), number);
  return number;
}

// Lines come in the order of their days, so the day asked for is nearly
// always the player's last one.
PlayerDaySums& StoreChanges::Day(uint32_t player, int64_t day) {
  if (days_.size() <= player) days_.resize(player + 1);
  std::vector<PlayerDaySums>& days = days_[player];
  for (auto it = days.rbegin(); it != days.rend(); ++it) {
    if (it->day == day) return *it;
  }
  days.push_back(PlayerDaySums{day, {}, {}});
  return days.back();
}

PlayerDayCounts& StoreChanges::PlayerDay(const PlayerDayKey& key) {
  PlayerDaySums& sums = Day(key.player, key.day);
  for (PlayerDaySums::Place& place : sums.places) {
    if (place.map == key.map && place.server == key.server) return place.counts;
  }
  sums.places.push_back({key.map, key.server, {}});
  return sums.places.back().counts;
}

WeaponDayCounts& StoreChanges::WeaponDay(const WeaponDayKey& key) {
  PlayerDaySums& sums = Day(key.player, key.day);
  for (auto& [weapon, counts] : sums.weapons) {
    if (weapon == key.weapon) return counts;
  }
  sums.weapons.push_back({key.weapon, {}});
  return sums.weapons.back().second;
}

void StoreChanges::NameSeen(uint32_t player, uint32_t name, int64_t day) {
  if (names_seen_.size() <= player) names_seen_.resize(player + 1);
  const auto [entry, added] = names_seen_[player].try_emplace(name, NameDays{day, day});
  if (added) return;
  entry->second.first = std::min(entry->second.first, day);
  entry->second.last = std::max(entry->second.last, day);
}

bool StoreChanges::empty() const {
  return days_.empty() && names_seen_.empty() && sessions_.empty() && map_days_.empty() &&
         server_maps_.empty();
}

StoreRecord StoreChanges::Record(uint64_t commit) const {
  StoreRecord record;
  record.commit = commit;
  record.names = names_;
  for (uint32_t player = 0; player < days_.size(); ++player) {
    for (const PlayerDaySums& sums : days_[player]) {
      for (const auto& [map, server, counts] : sums.places)
        record.player_days.push_back({player, map, server, sums.day, counts});
    }
  }
  for (uint32_t player = 0; player < days_.size(); ++player) {
    for (const PlayerDaySums& sums : days_[player]) {
      if (!sums.weapons.empty()) record.weapon_days.push_back({player, sums.day, sums.weapons});
    }
  }
  for (uint32_t player = 0; player < names_seen_.size(); ++player) {
    for (const auto& [name, days] : names_seen_[player])
      record.names_seen.push_back({player, name, days});
  }
  record.sessions = sessions_;
  for (const auto& [key, counts] : map_days_) record.map_days.push_back({key.map, key.day, counts});
  for (const auto& [server, state] : server_maps_)
    record.server_maps.push_back({server, state.first, state.second});
  return record;
}

std::string StoreRecord::Serialize() const {
  std::string bytes(kHeader);
  Writer out(bytes);
  auto count = [&](size_t n) { out << static_cast<int64_t>(n); };
  out << static_cast<int64_t>(commit);
  count(names.size());
  for (const std::string& name : names) out.Text(name);
  count(player_days.size());
  for (const auto& [player, map, server, day, c] : player_days) {
    out << player << map << server << day << c.kills << c.deaths << c.headshots << c.suicides
        << c.team_kills << c.bombs_planted << c.bombs_defused << c.hostages_rescued << c.seconds
        << c.sessions;
  }
  count(weapon_days.size());
  for (const WeaponDay& d : weapon_days) {
    out << d.player << d.day << d.weapons.size();
    for (const auto& [weapon, c] : d.weapons) out << weapon << c.kills << c.headshots;
  }
  count(names_seen.size());
  for (const auto& [player, name, days] : names_seen)
    out << player << name << days.first << days.last;
  count(sessions.size());
  for (const Session& s : sessions) {
    out << s.player << s.map << s.server;
    WriteMoment(out, s.begin);
    WriteMoment(out, s.end);
  }
  count(map_days.size());
  for (const auto& [map, day, c] : map_days) out << map << day << c.starts << c.seconds;
  count(server_maps.size());
  for (const auto& [server, map, last_seen] : server_maps) {
    out << server << map;
    WriteMoment(out, last_seen);
  }
  bytes += kEnd;
  return bytes;
}

StoreRecord StoreRecord::Parse(std::string_view bytes, const std::filesystem::path& file) {
  Reader in(bytes, file);
  const bool version2 = bytes.starts_with(kVersion2Header);
  in.Expect(version2 ? kVersion2Header : kHeader);
  StoreRecord record;
  const int64_t commit = in.Number();
  if (commit < 0) throw in.Damaged();
  record.commit = static_cast<uint64_t>(commit);
  for (size_t n = in.Count(); n > 0; --n) record.names.emplace_back(in.Text());
  const size_t names = record.names.size();
  for (size_t n = in.Count(); n > 0; --n) {
    PlayerDay& d = record.player_days.emplace_back();
    d.player = in.Index(names);
    d.map = in.Index(names);
    d.server = in.Index(names);
    d.day = in.Number();
    PlayerDayCounts& c = d.counts;
    for (int64_t* value :
         {&c.kills, &c.deaths, &c.headshots, &c.suicides, &c.team_kills, &c.bombs_planted,
          &c.bombs_defused, &c.hostages_rescued, &c.seconds, &c.sessions})
      *value = in.Number();
  }
  for (size_t n = in.Count(); n > 0; --n) {
    WeaponDay& d = record.weapon_days.emplace_back();
    d.player = in.Index(names);
    d.day = in.Number();
    for (size_t weapons = in.Count(); weapons > 0; --weapons) {
      auto& [weapon, c] = d.weapons.emplace_back();
      weapon = in.Index(names);
      c.kills = in.Number();
      c.headshots = in.Number();
    }
  }
  for (size_t n = in.Count(); n > 0; --n) {
    NameSeen& seen = record.names_seen.emplace_back();
    seen.player = in.Index(names);
    seen.name = in.Index(names);
    seen.days.first = in.Number();
    seen.days.last = in.Number();
  }
  for (size_t n = in.Count(); n > 0; --n) {
    Session& s = record.sessions.emplace_back();
    s.player = in.Index(names);
    s.map = in.Index(names);
    s.server = in.Index(names);
    s.begin = ReadMoment(in);
    s.end = ReadMoment(in);
  }
  for (size_t n = in.Count(); n > 0; --n) {
    MapDay& d = record.map_days.emplace_back();
    d.map = in.Index(names);
    d.day = in.Number();
    d.counts.starts = in.Number();
    d.counts.seconds = in.Number();
  }
  for (size_t n = in.Count(); n > 0; --n) {
    ServerMap& server_map = record.server_maps.emplace_back();
    server_map.server = in.Index(names);
    server_map.map = in.Index(names);
    if (!version2) server_map.last_seen = ReadMoment(in);
  }
  in.Expect(kEnd);
  if (!in.AtEnd()) throw in.Damaged();
  return record;
}

}  // namespace varnokel
