// The report run: the whole static statistics site of one database.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "report/colour_settings.h"

namespace varnokel {

// " HTML - Ausgabe " + number + " fertig...", appended to the status line.
std::string ReportDoneStatus(std::string_view database_number);

// Writes, below program_dir + "/html/": st.htm, se.htm, sp.htm, the 24 weapon
// pages and wt.htm, one page per player, then style.css from `colours`.
// Throws FileError naming the file when a player file cannot be read or a page
// cannot be written; pages written before stay. Navigation of the HTML view
// and the status text are the caller's.
void ReportRun(const std::filesystem::path& program_dir, const std::filesystem::path& database_dir,
               const ColourSet& colours);

}  // namespace varnokel
