#include "tests/core/update_reference.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "base/file_io.h"
#include "db/player_file.h"
#include "log/classic_line.h"
#include "log/log_buffer.h"
#include "log/log_lines.h"
#include "log/weapon_names.h"
#include "tests/core/literal_recognisers.h"

// The reference works out what a line reports, the play time, the skill
// value and the record of a player first met with versions of its own,
// written the plain way from what they must do, so that a fault in the
// program's versions does not pass both.

namespace varnokel {

namespace {

// ---- what a line reports ----

enum class Joined { kNone, kCt, kOther };

struct Events {
  std::string date, time, id, name, killer;
  bool entered = false, kill = false, disconnected = false;
  Joined joined = Joined::kNone;
  int weapon = 0;                // 1..24, 0 for none of them
  std::optional<int> objective;  // its field
};

// The objective events in the order they are tested, with their fields.
const std::vector<std::pair<std::string, int>> kObjectives = {
    {"Touched_A_Hostage", field::kHostageTouched},
    {"Killed_A_Hostage", field::kHostageKilled},
    {"Rescued_A_Hostage", field::kHostageRescued},
    {"Spawned_With_The_Bomb", field::kBombSpawned},
    {"Dropped_The_Bomb", field::kBombDropped},
    {"Planted_The_Bomb", field::kBombPlanted},
    {"Got_The_Bomb", field::kBombPickedUp},
    {"Begin_Bomb_Defuse_Without_Kit", field::kDefuseWithoutKit},
    {"Defused_The_Bomb", field::kBombDefused},
    {"Begin_Bomb_Defuse_With_Kit", field::kDefuseWithKit},
};

bool EndsQuoted(std::string_view line, std::string_view word) {
  return line.size() >= word.size() + 2 && line.back() == '"' &&
         line.substr(line.size() - word.size() - 2, 1) == "\"" &&
         line.substr(line.size() - word.size() - 1, word.size()) == word;
}

// What follows the first player token (from the double quote at 25 to the
// first `>" `); none without such a token.
std::optional<std::string_view> AfterFirstPlayer(std::string_view line) {
  if (line.size() <= 25 || line[25] != '"') return std::nullopt;
  const size_t end = line.find(">\" ", 26);
  if (end == std::string_view::npos) return std::nullopt;
  return line.substr(end + 3);
}

bool ReportsAnything(const Events& e) {
  return e.entered || e.joined != Joined::kNone || e.kill || e.objective || e.disconnected;
}

// The servers' own names of three weapons of the table.
const std::vector<std::pair<std::string, int>> kWeaponAliases = {
    {"elite", 5}, {"g3sg1", 20}, {"m249", 22}};

std::optional<Events> Analyse(std::string_view original) {
  const std::string classic = ClassicLineText(original);
  const std::string_view line = classic;
  Events e;
  e.entered = line.ends_with("entered the game");
  if (literal::IsTeamJoin(line)) e.joined = line.ends_with("\"CT\"") ? Joined::kCt : Joined::kOther;
  e.kill = literal::IsKill(line);
  for (const auto& [word, field] : kObjectives) {
    if (EndsQuoted(line, word)) e.objective = field;
  }
  e.disconnected = line.ends_with("disconnected");
  if (!ReportsAnything(e)) return e;
  // An event counts only when its verb follows the first player: nothing a
  // player names himself or types reports one.
  const std::optional<std::string_view> after = AfterFirstPlayer(line);
  if (!after) return Events();
  e.entered = e.entered && after->starts_with("entered the game");
  if (!after->starts_with("joined team \"")) e.joined = Joined::kNone;
  e.kill = e.kill && after->starts_with("killed \"");
  if (!after->starts_with("triggered \"")) e.objective.reset();
  e.disconnected = e.disconnected && after->starts_with("disconnected");
  if (!ReportsAnything(e)) return Events();
  const std::optional<std::string> id = literal::PlayerId(line);
  if (!id) return std::nullopt;
  e.id = *id;
  if (e.entered || e.disconnected) {
    const std::optional<std::string> name = literal::PlayerName(line);
    if (!name) return std::nullopt;
    e.name = *name;
  }
  if (e.kill) {
    const std::optional<std::string> killer = literal::KillerId(line);
    if (!killer) return std::nullopt;
    e.killer = *killer;
    for (size_t i = 0; i < kWeaponNames.size(); ++i) {
      if (EndsQuoted(line, kWeaponNames[i])) e.weapon = static_cast<int>(i) + 1;
    }
    for (const auto& [alias, weapon] : kWeaponAliases) {
      if (EndsQuoted(line, alias)) e.weapon = weapon;
    }
  }
  e.date = literal::Mid(line, 2, 10);
  e.time = literal::Mid(line, 15, 8);
  return e;
}

// ---- play time and skill value ----

// The day of a valid MM/DD/YYYY date.
std::optional<std::chrono::sys_days> Day(std::string_view date) {
  if (date.size() != 10 || date[2] != '/' || date[5] != '/') return std::nullopt;
  for (const size_t i : {0, 1, 3, 4, 6, 7, 8, 9}) {
    if (date[i] < '0' || date[i] > '9') return std::nullopt;
  }
  const auto number = [&](size_t from, size_t digits) {
    return std::stoi(std::string(date.substr(from, digits)));
  };
  const std::chrono::year_month_day day{std::chrono::year(number(6, 4)),
                                        std::chrono::month(static_cast<unsigned>(number(0, 2))),
                                        std::chrono::day(static_cast<unsigned>(number(3, 2)))};
  if (!day.ok()) return std::nullopt;
  return std::chrono::sys_days(day);
}

int64_t Seconds(std::string_view time) {
  int64_t seconds = 0;
  for (const auto& [from, unit] : {std::pair<size_t, int64_t>{0, 3600}, {3, 60}, {6, 1}}) {
    if (from < time.size()) seconds += unit * Atoi(time.substr(from, 2));
  }
  return seconds;
}

// Sessions count only from 0 to a day; without two valid dates a negative
// difference of the times is one over midnight.
int32_t PlayTime(std::string_view start_date, std::string_view start_time,
                 std::string_view end_date, std::string_view end_time, std::string_view total) {
  constexpr int64_t kDay = 86400;
  int64_t session = Seconds(end_time) - Seconds(start_time);
  const auto start = Day(start_date), end = Day(end_date);
  if (start && end)
    session += (*end - *start).count() * kDay;
  else if (session < 0)
    session += kDay;
  if (session < 0 || session > kDay) session = 0;
  const int64_t sum = session + Atoi(total);
  return static_cast<int32_t>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, sum)));
}

// Everything modulo 2^32, as 32-bit machine arithmetic does it.
int32_t Skill(const Fields& f) {
  const int kWeights[kWeaponCount] = {12, 18, 15, 18, 21, 20, 20, 16, 13, 19, 14, 20,
                                      16, 13, 10, 10, 11, 20, 12, 14, 15, 14, 50, 15};
  const auto count = [&](int index) { return static_cast<uint32_t>(Atoi(FieldAt(f, index))); };
  uint32_t weighted = 0;
  for (int i = 0; i < kWeaponCount; ++i)
    weighted += count(kFirstWeaponField + i) * static_cast<uint32_t>(kWeights[i]);
  int32_t divisor = static_cast<int32_t>(count(field::kDeaths) + 1u);
  if (divisor == 0) divisor = 1;
  const int64_t base = int64_t{static_cast<int32_t>(weighted * 10u)} / divisor;
  const uint32_t bonus = (count(field::kHostageTouched) + count(field::kHostageKilled) +
                          count(field::kBombDefused) + count(field::kBombPlanted)) *
                         10u;
  return static_cast<int32_t>(static_cast<uint32_t>(base) + bonus);
}

// ---- player files ----

// A new player's file: id, date, time, name and forty counts of 0, CR LF
// between the fields and none after the last.
std::string NewRecordBytes(std::string_view id, std::string_view date, std::string_view time,
                           std::string_view name) {
  std::string bytes = std::string(id) + "\r\n" + std::string(date) + "\r\n" + std::string(time) +
                      "\r\n" + std::string(name);
  for (int i = 0; i < 40; ++i) bytes += "\r\n0";
  return bytes;
}

// A player first met in a counted event: the reference line's date and time.
std::string UnknownRecordBytes(std::string_view id, std::string_view reference_line) {
  return NewRecordBytes(id, literal::Mid(reference_line, 2, 10),
                        literal::Mid(reference_line, 15, 8), "Unknown");
}

void AppendLine(std::string& bytes, std::string_view text) {
  bytes.append(text);
  bytes.append("\r\n");
}

void EnteredUpdate(const std::filesystem::path& dir, const Events& e) {
  std::filesystem::path file = PlayerFilePath(dir, e.id);
  if (!PlayerFileExists(file)) {
    WriteFileAtomic(file, NewRecordBytes(e.id, e.date, e.time, e.name));
    return;
  }
  Fields old = ReadPlayerFile(file);
  std::string bytes;
  AppendLine(bytes, e.id);
  AppendLine(bytes, e.date);
  AppendLine(bytes, e.time);
  AppendLine(bytes, e.name);
  for (int i = field::kCtJoins; i < kFieldCount; ++i) AppendLine(bytes, FieldAt(old, i));
  WriteFileAtomic(file, bytes);
}

void DisconnectedUpdate(const std::filesystem::path& dir, const Events& e) {
  std::filesystem::path file = PlayerFilePath(dir, e.id);
  if (!PlayerFileExists(file)) return;  // never seen: no session start known
  Fields old = ReadPlayerFile(file);
  const int32_t play_time =
      PlayTime(FieldAt(old, field::kEnterDate), FieldAt(old, field::kEnterTime), e.date, e.time,
               FieldAt(old, field::kPlayTime));
  std::string bytes;
  AppendLine(bytes, e.id);
  AppendLine(bytes, FieldAt(old, field::kEnterDate));
  AppendLine(bytes, FieldAt(old, field::kEnterTime));
  AppendLine(bytes, e.name);
  for (int i = field::kCtJoins; i <= field::kDefuseWithKit; ++i) AppendLine(bytes, FieldAt(old, i));
  AppendLine(bytes, e.date);
  AppendLine(bytes, std::to_string(play_time));
  for (int i = kFirstWeaponField; i < kFieldCount; ++i) AppendLine(bytes, FieldAt(old, i));
  bytes += std::to_string(Skill(old));
  WriteFileAtomic(file, bytes);
}

}  // namespace

void IncrementField(const std::filesystem::path& database_dir, std::string_view player_id,
                    int index, std::string_view reference_line) {
  std::filesystem::path file = PlayerFilePath(database_dir, player_id);
  Fields fields = PlayerFileExists(file)
                      ? ReadPlayerFile(file)
                      : SplitFields(UnknownRecordBytes(player_id, reference_line));
  if (fields.size() < static_cast<size_t>(kFieldCount)) fields.resize(kFieldCount);
  std::string& count = fields[static_cast<size_t>(index)];
  count = IncrementedCount(count);
  WriteFileAtomic(file, JoinFields(fields));
}

// True when every player the line names can have a file and every existing
// file can be read (a folder there throws FileError before anything changes).
bool PlayersReadable(const std::filesystem::path& dir, const Events& e) {
  const bool names_player =
      e.entered || e.joined != Joined::kNone || e.kill || e.objective || e.disconnected;
  if (!names_player) return true;
  std::vector<std::string> ids{e.id};
  if (e.kill) ids.push_back(e.killer);
  for (const std::string& id : ids) {
    if (!IsValidPlayerId(id)) return false;
  }
  for (const std::string& id : ids) {
    const std::filesystem::path file = PlayerFilePath(dir, id);
    if (PlayerFileExists(file)) ReadPlayerFile(file);
  }
  return true;
}

void FoldEvents(const std::filesystem::path& database_dir, const Events& e, std::string_view ref) {
  if (e.entered) EnteredUpdate(database_dir, e);
  if (e.joined != Joined::kNone)
    IncrementField(database_dir, e.id,
                   e.joined == Joined::kCt ? field::kCtJoins : field::kOtherJoins, ref);
  if (e.kill) {
    IncrementField(database_dir, e.id, field::kDeaths, ref);
    IncrementField(database_dir, e.killer, field::kKills, ref);
    if (e.weapon != 0)
      IncrementField(database_dir, e.killer, kFirstWeaponField + e.weapon - 1, ref);
  }
  if (e.objective) IncrementField(database_dir, e.id, *e.objective, ref);
  if (e.disconnected) DisconnectedUpdate(database_dir, e);
}

void DatabaseUpdateRunReference(const LogBuffer& buffer, const std::filesystem::path& database_dir,
                                std::string& reference_line) {
  reference_line = ClassicLineText(MiddleLine(buffer.text()));
  const std::string& ref = reference_line;
  ForEachLine(buffer.text(), [&](std::string_view line) {
    // The parts a NUL run cuts a line into: every player they name is
    // checked before any of them is folded.
    std::vector<Events> parts;
    ForEachPartBetweenNulRuns(line, [&](std::string_view part) {
      const std::optional<Events> found = Analyse(part);
      if (found) parts.push_back(*found);
    });
    std::vector<const Events*> readable;
    for (const Events& e : parts) {
      if (PlayersReadable(database_dir, e)) readable.push_back(&e);
    }
    for (const Events* e : readable) FoldEvents(database_dir, *e, ref);
  });
}

std::string_view MiddleLine(std::string_view text) {
  const size_t target = CountLineEnds(text) / 2;
  return LineStartingAt(text, target == 0 ? 0 : FindLineEnd(text, target - 1) + 1);
}

}  // namespace varnokel
