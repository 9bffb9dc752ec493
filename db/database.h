// SPDX-License-Identifier: GPL-3.0-or-later
// The nine databases: folders of player files below the program folder.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace varnokel {

// True for the texts "1" to "9".
bool IsValidDatabaseNumber(std::string_view number);

// ProgramDir + "/Datenbanken/db" + number.
std::filesystem::path DatabaseDir(const std::filesystem::path& program_dir,
                                  std::string_view database_number);

}  // namespace varnokel
