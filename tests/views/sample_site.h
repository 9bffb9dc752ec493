// SPDX-License-Identifier: GPL-3.0-or-later
// A program folder for the view tests and measurements: the shipped design
// page, the cover animation and the player beside a database of sample
// players, with the site written by the real report run.
#pragma once

#include <filesystem>
#include <string>

#include "report/colour_settings.h"

namespace varnokel::views_test {

// Copies varnokel_design.htm and varnokel.swf from `shipped` (a staged program
// folder) into `folder` and links its ruffle folder there; makes database 1.
void MakeProgramFolder(const std::filesystem::path& shipped, const std::filesystem::path& folder);

// Writes `count` sample players into database 1; `salt` changes their names
// ("<salt>Spieler<n>") so that a second run writes different pages.
void WritePlayers(const std::filesystem::path& folder, int count, const std::string& salt);

// The report run over database 1 with `colours`.
void WriteSite(const std::filesystem::path& folder, const ColourSet& colours);

// A dark colour set in the spirit of the window, with `background` first.
ColourSet SampleColours(const std::string& background = "#0e1c2b");

}  // namespace varnokel::views_test
