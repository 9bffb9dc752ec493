// SPDX-License-Identifier: GPL-3.0-or-later
// Dialog units: the window's layout is given in the units of its dialog font,
// so it scales with that font. The rule, applied to every place and size:
//
//   horizontal unit = average character width / 4
//   vertical unit   = character height / 8
//
// where the average character width is that of the 52 letters A-Z a-z,
// rounded as (width of the 52 letters / 26 + 1) / 2, and the character height
// is the font's line height (ascent + descent). Each coordinate is converted
// on its own with rounding: pixels = (units * base + base_units / 2) / base_units.
#pragma once

#include <QFont>
#include <QRect>
#include <filesystem>

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);

  int ToPixelsX(int units) const;
  int ToPixelsY(int units) const;
  QRect ToPixels(int x, int y, int width, int height) const;

  int average_char_width() const { return average_char_width_; }
  int char_height() const { return char_height_; }

 private:
  int average_char_width_;
  int char_height_;
};

// The dialog font: Liberation Sans (metrically equal to Arial, the closest
// free match to an 8-point dialog font) at 10 pixels without hinting, which
// gives 6 x 11 pixel dialog base units. At 11 pixels (8 points at 96 dots per
// inch) the wider glyphs no longer fit the narrowest labels of the layout
// ("Geisel angesp.", "Hyperlink off"); at 10 pixels every caption fits its
// place with room to spare. Loaded from the file shipped in `program_dir` + "/fonts/"
// when there, else found by family name among the installed fonts, so that
// the layout does not depend on the machine's default font.
QFont DialogFont(const std::filesystem::path& program_dir);
