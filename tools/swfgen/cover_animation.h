// SPDX-License-Identifier: GPL-3.0-or-later
// The cover animation of the main window: a looping banner in the aspect of
// the window's animation area (295 x 60), built from our own description.
#pragma once

#include <string>
#include <vector>

namespace varnokel::swf {

// A glyph outline in pixels (y downwards), as a sequence of contours; every
// contour starts with kMove. Curves are quadratic.
struct OutlineSegment {
  enum Kind { kMove, kLine, kQuad } kind;
  double x, y;    // end point
  double cx, cy;  // control point (kQuad only)
};
using Outline = std::vector<OutlineSegment>;

constexpr int kStageWidth = 590;  // pixels; twice 295 x 60
constexpr int kStageHeight = 120;
constexpr int kFrameRate = 24;
constexpr int kFrameCount = 96;  // four seconds, then it starts over

// The whole movie file: background, the title and subtitle outlines fitted
// into the left part, a crosshair sweeping the banner with hit markers, and
// bars growing like the weapon bars of the statistics pages.
std::string BuildCoverMovie(const Outline& title, const Outline& subtitle);

}  // namespace varnokel::swf
