// The database update run: folds the LogBuffer into the player files of one
// database.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace varnokel {

class LogBuffer;

// " Datenbank " + number + " fertig...", appended to the status line.
std::string UpdateDoneStatus(std::string_view database_number);

// Called now and then with (lines done, lines in all) for progress displays.
using UpdateProgress = std::function<void(size_t, size_t)>;

// Cuts the buffer into lines, sets `reference_line` to line n / 2 and applies
// every recogniser to every line. Throws FileError naming the file when a
// player file cannot be read or written; the files changed by the lines
// before the failure are then on disk, exactly as if each event had rewritten
// its file at once.
void DatabaseUpdateRun(const LogBuffer& buffer, const std::filesystem::path& database_dir,
                       std::string& reference_line, const UpdateProgress& progress = {});

}  // namespace varnokel
