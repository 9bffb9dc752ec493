// SPDX-License-Identifier: GPL-3.0-or-later
// What one log line reports, worked out before anything is stored, so that a
// line whose scans would not end is skipped as a whole. The events name
// players and what happened to them; which counts they change is the
// database's business.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace varnokel {

enum class Team { kNone, kCt, kOther };

// The ten objective events a player can be named in, in the order they are
// tested.
enum class Objective {
  kTouchedAHostage,
  kKilledAHostage,
  kRescuedAHostage,
  kSpawnedWithTheBomb,
  kDroppedTheBomb,
  kPlantedTheBomb,
  kGotTheBomb,
  kBeginBombDefuseWithoutKit,
  kDefusedTheBomb,
  kBeginBombDefuseWithKit,
};
inline constexpr int kObjectiveCount = 10;

// Each objective with the quoted name a line ends with when it reports it.
struct ObjectiveName {
  Objective objective;
  std::string_view quoted_name;  // the event name enclosed in double quotes
};
extern const std::array<ObjectiveName, kObjectiveCount> kObjectiveNames;

// The recognised events of one line; every view points into the line. Each
// test is independent: one line may report several events.
struct LineEvents {
  std::string_view date;  // the line's DATE
  std::string_view time;  // the line's TIME
  std::string_view id;    // the last player reference's id (the victim of a kill)
  std::string_view name;  // the first player reference's name
  bool entered = false;   // "entered the game"
  Team team_join = Team::kNone;
  bool kill = false;
  std::string_view killer;
  int weapon = 0;                // 1..24, 0 when the weapon is none of them
  std::string_view weapon_name;  // the quoted weapon of a kill, as the line writes it
  bool headshot = false;         // the kill line carried a headshot mark
  // The quoted names never end one another, so a line reports one at most.
  std::optional<Objective> objective;
  bool disconnected = false;
};

// The text after the first player token of `line` (from the double quote at
// kFirstPlayerStart up to the first `>" ` after it), or std::nullopt when the
// line has none.
std::optional<std::string_view> AfterFirstPlayer(std::string_view line);

// True for a line in which a player says something: its first player token
// is followed by `say "` or `say_team "`.
bool IsChatLine(std::string_view line);

// Applies every test to `line` read as the classic line it reports
// (log/classic_line.h). An event counts only when the text after the first
// player token begins with its verb (`entered the game`, `joined team "`,
// `killed "`, `triggered "`, `disconnected`): whatever a player types or
// names himself carries none. std::nullopt when a scan
// needed by a passing test would never end: the line then has no effect at
// all. The views point into `line`, or into `classic` when the reading had to
// change the line.
std::optional<LineEvents> AnalyseLine(std::string_view line, std::string& classic);

// The same with a buffer of the calling thread's own: views into it hold
// until the thread's next call.
std::optional<LineEvents> AnalyseLine(std::string_view line);

}  // namespace varnokel
