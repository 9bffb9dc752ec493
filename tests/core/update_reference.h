// SPDX-License-Identifier: GPL-3.0-or-later
// The update run done the straightforward way: every event reads its player
// file and rewrites it at once. Slow, and kept as the reference the cached
// run (DatabaseUpdateRun) must match byte for byte, also when a run stops at
// a failure.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace varnokel {

class LogBuffer;

// Adds one to the count at `index` (4..43) of the player's file, created as the
// record of an unknown player first when it does not exist. Writes atomically; throws
// FileError naming the file.
void IncrementField(const std::filesystem::path& database_dir, std::string_view player_id,
                    int index, std::string_view reference_line);

// Line n / 2 of `text`, n being the number of LF characters in it: the
// reference line of a run over the whole text.
std::string_view MiddleLine(std::string_view text);

void DatabaseUpdateRunReference(const LogBuffer& buffer, const std::filesystem::path& database_dir,
                                std::string& reference_line);

}  // namespace varnokel
