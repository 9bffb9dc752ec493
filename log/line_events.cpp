#include "log/line_events.h"

#include <cstring>

#include "log/log_line_layout.h"
#include "log/recognisers.h"

namespace varnokel {

const std::array<ObjectiveName, kObjectiveCount> kObjectiveNames = {{
    {Objective::kTouchedAHostage, "\"Touched_A_Hostage\""},
    {Objective::kKilledAHostage, "\"Killed_A_Hostage\""},
    {Objective::kRescuedAHostage, "\"Rescued_A_Hostage\""},
    {Objective::kSpawnedWithTheBomb, "\"Spawned_With_The_Bomb\""},
    {Objective::kDroppedTheBomb, "\"Dropped_The_Bomb\""},
    {Objective::kPlantedTheBomb, "\"Planted_The_Bomb\""},
    {Objective::kGotTheBomb, "\"Got_The_Bomb\""},
    {Objective::kBeginBombDefuseWithoutKit, "\"Begin_Bomb_Defuse_Without_Kit\""},
    {Objective::kDefusedTheBomb, "\"Defused_The_Bomb\""},
    {Objective::kBeginBombDefuseWithKit, "\"Begin_Bomb_Defuse_With_Kit\""},
}};

bool IsChatLine(std::string_view line) {
  if (line.size() <= log_line::kFirstPlayerStart || line[log_line::kFirstPlayerStart] != '"')
    return false;
  constexpr std::string_view kTokenEnd = ">\" ";
  size_t end = log_line::kNameStart;
  for (;; ++end) {  // the first ">" followed by a double quote and a space
    const void* found = std::memchr(line.data() + end, '>', line.size() - end);
    if (found == nullptr) return false;
    end = static_cast<size_t>(static_cast<const char*>(found) - line.data());
    if (line.substr(end, kTokenEnd.size()) == kTokenEnd) break;
  }
  const std::string_view after = line.substr(end + kTokenEnd.size());
  return after.starts_with("say \"") || after.starts_with("say_team \"");
}

std::optional<LineEvents> AnalyseLine(std::string_view line) {
  LineEvents events;
  // The last character decides which of the tests on the end can pass.
  const char last = line.empty() ? '\0' : line.back();
  events.entered = last == 'e' && EndsWith(line, "entered the game");
  if (IsTeamJoin(line)) events.team_join = TeamOfJoin(line) == "CT" ? Team::kCt : Team::kOther;
  events.kill = IsKill(line);
  if (last == '"') {
    const std::string_view word = LastQuotedWord(line);
    for (const ObjectiveName& named : kObjectiveNames) {
      if (named.quoted_name.substr(1, named.quoted_name.size() - 2) == word)
        events.objective = named.objective;
    }
  }
  events.disconnected = last == 'd' && EndsWith(line, "disconnected");

  const bool needs_id = events.entered || events.team_join != Team::kNone || events.kill ||
                        events.objective || events.disconnected;
  if (!needs_id) return events;
  // What a player types reports nothing (tested last: most lines report
  // nothing anyway).
  if (IsChatLine(line)) return LineEvents();
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
    events.weapon_name = LastQuotedWord(line);
  }
  events.date = log_line::Date(line);
  events.time = log_line::Time(line);
  return events;
}

}  // namespace varnokel
