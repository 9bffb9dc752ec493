#include "log/line_events.h"

#include <cstring>

#include "log/classic_line.h"
#include "log/log_line_layout.h"
#include "log/recognisers.h"
#include "log/weapon_names.h"

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

std::optional<std::string_view> AfterFirstPlayer(std::string_view line) {
  if (line.size() <= log_line::kFirstPlayerStart || line[log_line::kFirstPlayerStart] != '"')
    return std::nullopt;
  constexpr std::string_view kTokenEnd = ">\" ";
  size_t end = log_line::kNameStart;
  for (;; ++end) {  // the first ">" followed by a double quote and a space
    const void* found = std::memchr(line.data() + end, '>', line.size() - end);
    if (found == nullptr) return std::nullopt;
    end = static_cast<size_t>(static_cast<const char*>(found) - line.data());
    if (line.substr(end, kTokenEnd.size()) == kTokenEnd) break;
  }
  return line.substr(end + kTokenEnd.size());
}

bool IsChatLine(std::string_view line) {
  const std::optional<std::string_view> after = AfterFirstPlayer(line);
  return after && (after->starts_with("say \"") || after->starts_with("say_team \""));
}

namespace {

// The verb each event's text begins with, right after the first player.
constexpr std::string_view kEnteredVerb = "entered the game";
constexpr std::string_view kJoinedVerb = "joined team \"";
constexpr std::string_view kKilledVerb = "killed \"";
constexpr std::string_view kTriggeredVerb = "triggered \"";
constexpr std::string_view kDisconnectedVerb = "disconnected";

// Keeps only the events whose verb follows the first player: whatever a player
// chose as his name or typed (a chat line, a name change to
// "Planted_The_Bomb") reports nothing.
void KeepEventsOfTheVerb(LineEvents& events, std::string_view after) {
  events.entered = events.entered && after.starts_with(kEnteredVerb);
  if (!after.starts_with(kJoinedVerb)) events.team_join = Team::kNone;
  events.kill = events.kill && after.starts_with(kKilledVerb);
  if (!after.starts_with(kTriggeredVerb)) events.objective.reset();
  events.disconnected = events.disconnected && after.starts_with(kDisconnectedVerb);
}

bool ReportsAnything(const LineEvents& e) {
  return e.entered || e.team_join != Team::kNone || e.kill || e.objective || e.disconnected;
}

}  // namespace

std::optional<LineEvents> AnalyseLine(std::string_view line) {
  thread_local std::string classic;
  return AnalyseLine(line, classic);
}

std::optional<LineEvents> AnalyseLine(std::string_view original, std::string& classic) {
  const ClassicLine read = ReadAsClassicLine(original, classic);
  const std::string_view line = read.text;
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

  if (!ReportsAnything(events)) return events;
  // Tested last: most lines report nothing anyway.
  const std::optional<std::string_view> after = AfterFirstPlayer(line);
  if (!after) return LineEvents();
  KeepEventsOfTheVerb(events, *after);
  if (!ReportsAnything(events)) return LineEvents();
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
    events.weapon_name = LastQuotedWord(line);
    events.weapon = WeaponNumberOf(events.weapon_name);
    events.headshot = read.headshot;
  }
  events.date = log_line::Date(line);
  events.time = log_line::Time(line);
  return events;
}

}  // namespace varnokel
