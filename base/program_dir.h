// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program's files live: every data path is ProgramDir() followed by
// a fixed relative path that begins with "/".
#pragma once

#include <filesystem>
#include <string>

namespace varnokel {

// The folder that holds the running executable, without a trailing separator.
// Computed afresh at every call (from /proc/self/exe); never cached.
std::filesystem::path ProgramDir();

// `programDir` with every space replaced by "%20"; nothing else is escaped.
std::string ProgramDirUrl(const std::filesystem::path& programDir);

// The address the HTML view is pointed at: "file://" + ProgramDirUrl +
// "/varnokel_design.htm" (absolute Linux paths already begin with "/"), with
// "%", "#" and "?" in the folder escaped as well so that they stay part of
// the path.
std::string DesignPageAddress(const std::filesystem::path& programDir);

}  // namespace varnokel
