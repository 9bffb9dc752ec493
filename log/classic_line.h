// SPDX-License-Identifier: GPL-3.0-or-later
// Newer game-server engines write the same events in a slightly different
// line. Before any recogniser looks at a line, it is read as the classic line
// it reports (log_line_layout.h); a classic line stays exactly as it is.
//
//   newer:   03/15/2003 - 20:14:07.250 - "Sas<2><[U:1:6318168]><CT>" [-117 2465 -56]
//            killed "Bob<3><BOT><TERRORIST>" [-130 2800 -20] with "ak47" (headshot)
//   classic: L 03/15/2003 - 20:14:07: "Sas<2><[U:1:6318168]><CT>" killed
//            "Bob<3><BOT><TERRORIST>" with "ak47"
//
// The parts of the reading, applied one after the other:
//   time stamp   "MM/DD/YYYY - HH:MM:SS.fff - " becomes "L MM/DD/YYYY - HH:MM:SS: "
//   positions    " [x y z]" directly after the `>"` closing a player token goes
//   kill notes   on a kill line, the groups " (...)" after the last double quote go
//   leave reason "disconnected (reason "...")" ends at "disconnected"
//   bombsite     `triggered "EVENT" at bombsite X` ends at `triggered "EVENT"`
//   team switch  `"NAME<uid><id>" switched from team <A> to <CT>` (or <TERRORIST>)
//                becomes `"NAME<uid><id><A>" joined team "CT"`
#pragma once

#include <string>
#include <string_view>

namespace varnokel {

struct ClassicLine {
  std::string_view text;  // the line itself when nothing changed, else a view of the storage
  bool headshot = false;  // a kill note that went began with "(headshot"
};

// Reads `line` as the classic line it reports. When the line changes, the
// new text is written to `storage`, and the result's text points into it.
ClassicLine ReadAsClassicLine(std::string_view line, std::string& storage);

// `line` up to a NUL run in it (as the update run cuts it), read as the
// classic line: the reference line unknown players take their first date and
// time from, the first line that dates a log.
std::string ClassicLineText(std::string_view line);

// True when `line` begins with a log time stamp, classic or newer.
bool HasLogTimeStamp(std::string_view line);

}  // namespace varnokel
