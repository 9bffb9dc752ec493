// SPDX-License-Identifier: GPL-3.0-or-later
// A player file held in memory together with the exact shape its bytes have
// on disk, and the changes the update run makes to it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "db/player_file.h"

namespace varnokel {

struct PlayerRecord {
  enum class Shape {
    kDefault,     // a default record: no line end after field 43
    kTerminated,  // all 44 fields end with CR LF
    kWithSkill,   // 44 terminated fields and the unterminated skill line
  };
  Fields fields;  // exactly 44
  Shape shape = Shape::kTerminated;
  std::string skill;  // the 45th line of kWithSkill
};

// The file's bytes for this record.
std::string SerializeRecord(const PlayerRecord& record);

// The record read from a file: fields 0..43 (missing ones empty).
PlayerRecord RecordFromFields(Fields fields);

// The name a player first met in a counted event is stored under.
inline constexpr std::string_view kUnknownPlayerName = "Unknown";

// The record of a player first met entering the game: id, date, time, name
// and forty "0" counts, in the default shape (no line end after the last "0").
PlayerRecord NewRecord(std::string_view id, std::string_view date, std::string_view time,
                       std::string_view name);
// The record of a player first met in a counted event: like NewRecord with the
// reference line's DATE and TIME and the name "Unknown".
PlayerRecord UnknownRecord(std::string_view id, std::string_view reference_line);

// An "entered the game" line for a player with a file.
void ApplyEntered(PlayerRecord& record, std::string_view id, std::string_view date,
                  std::string_view time, std::string_view name);
// One counted event (field 4..43).
void ApplyIncrement(PlayerRecord& record, int index);
// A "disconnected" line: name, leave date, play time and the skill line.
void ApplyDisconnected(PlayerRecord& record, std::string_view id, std::string_view date,
                       std::string_view time, std::string_view name);

// Days since 1970-01-01 of a valid MM/DD/YYYY date.
std::optional<int64_t> DayNumber(std::string_view date);

// h x 3600 + m x 60 + s of HH:MM:SS, each part read with Atoi (a missing
// part counts 0).
int64_t TimeSeconds(std::string_view time);

// The seconds of a session from the start date and time to the end date and
// time, by the rule PlayTimeAfterSession describes (0 when it cannot count).
int64_t SessionSeconds(std::string_view start_date, std::string_view start_time,
                       std::string_view end_date, std::string_view end_time);

// The play time after a session that began at the stored date and time (fields
// 1 and 2) and ended at the line's date and time, added to `old_total`. When
// both dates are valid MM/DD/YYYY dates the full difference counts; otherwise
// only the times, with a day added to a negative difference. A session below
// 0 or above 86400 seconds counts 0; the sum saturates at the 32-bit range.
int32_t PlayTimeAfterSession(std::string_view start_date, std::string_view start_time,
                             std::string_view end_date, std::string_view end_time,
                             std::string_view old_total);

}  // namespace varnokel
