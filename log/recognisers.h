// SPDX-License-Identifier: GPL-3.0-or-later
// Log line recognition: tests and extractors on fixed positions and backward
// scans, exactly as the game server's line shape (log/log_line_layout.h)
// allows.
//
// Extractors return std::nullopt where their scan would never end (too few
// "<", no kill marker after position 0, no "><" before it): such a line yields
// no player and the update run skips it whole.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnokel {

bool EndsWith(std::string_view line, std::string_view literal);
bool IsTeamJoin(std::string_view line);
std::string_view TeamOfJoin(std::string_view line);  // "CT" or "TERROR"
bool IsKill(std::string_view line);
std::optional<std::string_view> ExtractPlayerId(std::string_view line);
std::optional<std::string_view> ExtractKillerId(std::string_view line);
std::optional<std::string_view> ExtractPlayerName(std::string_view line);

// The text between the line's last two double quotes when the line ends
// with one, else empty. A line ends with a quoted name (without quotes in
// it) exactly when this is that name.
std::string_view LastQuotedWord(std::string_view line);

}  // namespace varnokel
