// SPDX-License-Identifier: GPL-3.0-or-later
// Recognisers of what a line says about the match rather than about a
// player's counts: which map runs, a suicide, and the teams the two players
// of a kill line stand in. Like the other recognisers they look at fixed
// positions and at the line's end; they never parse a line into tokens.
#pragma once

#include <optional>
#include <string_view>

namespace varnokel {

// `Loading map "X"` or `Started map "X"` right after the line's prefix
// (anything may follow the closing quote).
struct MapLine {
  std::string_view map;  // X, as the line writes it
  bool started = false;  // `Started map`: the map began to run
};
std::optional<MapLine> RecogniseMapLine(std::string_view line);

// The map of the last map line that ends before position `end` (a line
// start) of a log's text, or empty text: the map running where an update
// goes on with a log whose beginning it folded before.
std::string_view LastMapBefore(std::string_view text, size_t end);

// `"NAME<UID><ID><TEAM>" committed suicide with "WEAPON"` at the line's end.
// The player is the line's last reference (ExtractPlayerId). A line in which
// a player types these words (a chat line) is no suicide.
bool IsSuicide(std::string_view line);

// The TEAM groups of the killer's and the victim's references in a kill line
// (IsKill), as the line writes them; std::nullopt when either reference has
// no closed team group where the line shape puts it.
struct KillTeams {
  std::string_view killer;
  std::string_view victim;
};
std::optional<KillTeams> TeamsOfKill(std::string_view line);

}  // namespace varnokel
