#include "db/line_events.h"

#include <algorithm>

#include "db/recognisers.h"

namespace varnokel {

const std::array<PlayerEvent, kPlayerEventCount> kPlayerEvents = {{
    {"\"Touched_A_Hostage\"", 8},
    {"\"Killed_A_Hostage\"", 9},
    {"\"Rescued_A_Hostage\"", 10},
    {"\"Spawned_With_The_Bomb\"", 11},
    {"\"Dropped_The_Bomb\"", 12},
    {"\"Planted_The_Bomb\"", 13},
    {"\"Got_The_Bomb\"", 14},
    {"\"Begin_Bomb_Defuse_Without_Kit\"", 15},
    {"\"Defused_The_Bomb\"", 16},
    {"\"Begin_Bomb_Defuse_With_Kit\"", 17},
}};

namespace {

std::string_view Piece(std::string_view line, size_t from, size_t count) {
  return from >= line.size() ? std::string_view() : line.substr(from, count);
}

}  // namespace

std::optional<LineEvents> AnalyseLine(std::string_view line) {
  LineEvents events;
  events.entered = EndsWith(line, "entered the game");
  if (IsTeamJoin(line)) events.team_field = TeamOfJoin(line) == "CT" ? 4 : 5;
  events.kill = IsKill(line);
  if (line.ends_with('"')) {
    for (const PlayerEvent& event : kPlayerEvents) {
      if (EndsWith(line, event.quoted_name))
        events.event_fields[events.event_count++] = event.field;
    }
  }
  events.disconnected = EndsWith(line, "disconnected");

  const bool needs_id = events.entered || events.team_field != 0 || events.kill ||
                        events.event_count > 0 || events.disconnected;
  if (!needs_id) return events;
  std::optional<std::string_view> id = ExtractPlayerId(line);
  if (!id) return std::nullopt;
  events.id = *id;
  if (events.entered || events.disconnected) {
    std::optional<std::string_view> name = ExtractPlayerName(line);
    if (!name) return std::nullopt;
    events.name = *name;
  }
  if (events.kill) {
    std::optional<std::string_view> killer = ExtractKillerId(line);
    if (!killer) return std::nullopt;
    events.killer = *killer;
    events.weapon = WeaponNumber(line);
  }
  events.date = Piece(line, 2, 10);
  events.time = Piece(line, 15, 8);
  return events;
}

std::string_view MiddleLine(std::string_view text) {
  size_t target = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) / 2;
  size_t start = 0;
  for (size_t index = 0; index < target; ++index) start = text.find('\n', start) + 1;
  size_t lf = text.find('\n', start);
  if (lf == std::string_view::npos) return text.substr(start);
  size_t end = lf > start && text[lf - 1] == '\r' ? lf - 1 : lf;
  return text.substr(start, end - start);
}

}  // namespace varnokel
