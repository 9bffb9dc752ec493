#include "db/store_changes.h"

#include <algorithm>
#include <charconv>
#include <optional>

#include "base/file_io.h"

namespace varnokel {

namespace {

// The bytes: a header line, the commit number, then each part as its size
// and its records; numbers end with a space or a line end, texts are their
// size, ":" and their bytes (a player id may hold any byte but NUL and "/").
constexpr std::string_view kHeader = "varnokel store changes 1\n";
constexpr std::string_view kEnd = "end\n";

size_t Mix(size_t seed, uint64_t value) {
  return seed ^ (std::hash<uint64_t>{}(value) + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}

class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}
  Writer& operator<<(int64_t number) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    out_.append(digits, end);
    out_ += ' ';
    return *this;
  }
  // A text and the line end after it: a record of its own.
  Writer& Text(std::string_view text) {
    *this << static_cast<int64_t>(text.size());
    out_.back() = ':';
    out_ += text;
    out_ += '\n';
    return *this;
  }
  void EndRecord() { out_.back() = '\n'; }  // in place of the last number's space

 private:
  std::string& out_;
};

class Reader {
 public:
  Reader(std::string_view bytes, const std::filesystem::path& file) : rest_(bytes), file_(file) {}

  int64_t Number() {
    int64_t number = 0;
    const auto [end, error] = std::from_chars(rest_.data(), rest_.data() + rest_.size(), number);
    if (error != std::errc() || end == rest_.data() + rest_.size() || (*end != ' ' && *end != '\n'))
      throw Damaged();
    rest_.remove_prefix(static_cast<size_t>(end - rest_.data()) + 1);
    return number;
  }
  uint32_t Index(size_t below) {
    const int64_t number = Number();
    if (number < 0 || static_cast<uint64_t>(number) >= below) throw Damaged();
    return static_cast<uint32_t>(number);
  }
  size_t Count() { return Index(rest_.size() + 1); }  // no part has more records than bytes
  std::string_view Text() {
    size_t size = 0;
    const auto [end, error] = std::from_chars(rest_.data(), rest_.data() + rest_.size(), size);
    if (error != std::errc() || end == rest_.data() + rest_.size() || *end != ':') throw Damaged();
    rest_.remove_prefix(static_cast<size_t>(end - rest_.data()) + 1);
    if (rest_.size() < size + 1 || rest_[size] != '\n') throw Damaged();
    const std::string_view text = rest_.substr(0, size);
    rest_.remove_prefix(size + 1);
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

size_t KeyHash::operator()(const PlayerDayKey& k) const {
  return Mix(Mix(Mix(k.player, k.map), k.server), static_cast<uint64_t>(k.day));
}
size_t KeyHash::operator()(const WeaponDayKey& k) const {
  return Mix(Mix(k.player, k.weapon), static_cast<uint64_t>(k.day));
}
size_t KeyHash::operator()(const NameKey& k) const {
  return Mix(k.player, k.name);
}
size_t KeyHash::operator()(const MapDayKey& k) const {
  return Mix(k.map, static_cast<uint64_t>(k.day));
}

uint32_t StoreChanges::Name(std::string_view text) {
  const auto found = numbers_.find(text);
  if (found != numbers_.end()) return found->second;
  const auto number = static_cast<uint32_t>(names_.size());
  names_.emplace_back(text);
  numbers_.emplace(names_.back(), number);
  return number;
}

void StoreChanges::NameSeen(uint32_t player, uint32_t name, int64_t day) {
  const auto [entry, added] = names_seen_.try_emplace(NameKey{player, name}, NameDays{day, day});
  if (added) return;
  entry->second.first = std::min(entry->second.first, day);
  entry->second.last = std::max(entry->second.last, day);
}

bool StoreChanges::empty() const {
  return player_days_.empty() && weapon_days_.empty() && names_seen_.empty() && sessions_.empty() &&
         map_days_.empty();
}

std::string StoreChanges::Serialize(uint64_t commit) const {
  std::string bytes(kHeader);
  Writer out(bytes);
  out << static_cast<int64_t>(commit);
  out.EndRecord();
  out << static_cast<int64_t>(names_.size());
  out.EndRecord();
  for (const std::string& name : names_) out.Text(name);
  out << static_cast<int64_t>(player_days_.size());
  out.EndRecord();
  for (const auto& [k, c] : player_days_) {
    out << k.player << k.map << k.server << k.day << c.kills << c.deaths << c.headshots
        << c.suicides << c.team_kills << c.bombs_planted << c.bombs_defused << c.hostages_rescued
        << c.seconds << c.sessions;
    out.EndRecord();
  }
  out << static_cast<int64_t>(weapon_days_.size());
  out.EndRecord();
  for (const auto& [k, c] : weapon_days_) {
    out << k.player << k.weapon << k.day << c.kills << c.headshots;
    out.EndRecord();
  }
  out << static_cast<int64_t>(names_seen_.size());
  out.EndRecord();
  for (const auto& [k, days] : names_seen_) {
    out << k.player << k.name << days.first << days.last;
    out.EndRecord();
  }
  out << static_cast<int64_t>(sessions_.size());
  out.EndRecord();
  for (const Session& s : sessions_) {
    out << s.player << s.map << s.server;
    WriteMoment(out, s.begin);
    WriteMoment(out, s.end);
    out.EndRecord();
  }
  out << static_cast<int64_t>(map_days_.size());
  out.EndRecord();
  for (const auto& [k, c] : map_days_) {
    out << k.map << k.day << c.starts << c.seconds;
    out.EndRecord();
  }
  bytes += kEnd;
  return bytes;
}

StoreChanges StoreChanges::Parse(std::string_view bytes, const std::filesystem::path& file,
                                 uint64_t& commit) {
  Reader in(bytes, file);
  in.Expect(kHeader);
  StoreChanges changes;
  const int64_t number = in.Number();
  if (number < 0) throw in.Damaged();
  commit = static_cast<uint64_t>(number);
  for (size_t n = in.Count(); n > 0; --n) {
    const std::string_view text = in.Text();
    if (changes.Name(text) != changes.names_.size() - 1) throw in.Damaged();  // listed twice
  }
  const size_t names = changes.names_.size();
  for (size_t n = in.Count(); n > 0; --n) {
    PlayerDayKey k{in.Index(names), in.Index(names), in.Index(names), in.Number()};
    PlayerDayCounts& c = changes.player_days_[k];
    for (int64_t* count :
         {&c.kills, &c.deaths, &c.headshots, &c.suicides, &c.team_kills, &c.bombs_planted,
          &c.bombs_defused, &c.hostages_rescued, &c.seconds, &c.sessions})
      *count += in.Number();
  }
  for (size_t n = in.Count(); n > 0; --n) {
    WeaponDayKey k{in.Index(names), in.Index(names), in.Number()};
    WeaponDayCounts& c = changes.weapon_days_[k];
    c.kills += in.Number();
    c.headshots += in.Number();
  }
  for (size_t n = in.Count(); n > 0; --n) {
    const NameKey k{in.Index(names), in.Index(names)};
    const int64_t first = in.Number();
    changes.NameSeen(k.player, k.name, first);
    changes.NameSeen(k.player, k.name, in.Number());
  }
  for (size_t n = in.Count(); n > 0; --n) {
    Session s;
    s.player = in.Index(names);
    s.map = in.Index(names);
    s.server = in.Index(names);
    s.begin = ReadMoment(in);
    s.end = ReadMoment(in);
    changes.sessions_.push_back(s);
  }
  for (size_t n = in.Count(); n > 0; --n) {
    MapDayKey k{in.Index(names), in.Number()};
    MapDayCounts& c = changes.map_days_[k];
    c.starts += in.Number();
    c.seconds += in.Number();
  }
  in.Expect(kEnd);
  if (!in.AtEnd()) throw in.Damaged();
  return changes;
}

}  // namespace varnokel
