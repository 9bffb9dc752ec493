// SPDX-License-Identifier: GPL-3.0-or-later
// The twelve colours of the site's style sheet and the file "color.no".
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace varnokel {

// The twelve colour texts in the order of "color.no": Hintergrund, Linien,
// Zelle 1, Zelle 2, Zelle 3, Rahmen, Schrift, Überschrift, Hyperlink off,
// Cover, Balken, Balkengrund.
inline constexpr int kColourCount = 12;
using ColourSet = std::array<std::string, kColourCount>;

// The one-line style sheet built from the colours, unchecked and unescaped.
std::string StyleSheetText(const ColourSet& colours);

// "color.no" bytes: the twelve texts separated by CR LF, none after the last.
std::string FormatColourFile(const ColourSet& colours);

// Reads "color.no" (whole file, cut at NUL, SplitLines); lines beyond the
// twelfth are ignored, missing ones leave colours empty. Throws FileError.
ColourSet ReadColourFile(const std::filesystem::path& file);

// The refresh command's file work: writes ProgramDir + "/s_style.css", calls
// `navigate` (the HTML view is pointed at the design page), then writes
// ProgramDir + "/color.no". Throws FileError naming the file that failed.
void RefreshStyleFiles(const std::filesystem::path& program_dir, const ColourSet& colours,
                       const std::function<void()>& navigate = {});

// "#" followed by six lower-case hex digits: red, green, blue.
std::string HtmlColour(int red, int green, int blue);

}  // namespace varnokel
