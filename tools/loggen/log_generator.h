// SPDX-License-Identifier: GPL-3.0-or-later
// A generator of realistic game-server logs of any size, for tests, the
// benchmark and the sample logs shipped with the program. The same options
// always give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

namespace varnokel::loggen {

struct LogGenOptions {
  uint64_t seed = 1;
  size_t lines = 1000;   // lines written (the log ends with a line end)
  int players = 20;      // distinct people who come and go, bots not counted
  int first_player = 0;  // people are numbered from here (servers that share nobody)
  int bots = 2;          // bots, all with the id "BOT"
  int max_online = 24;   // people on the server at once
  bool bare_lf = false;  // LF line ends instead of CR LF
  // Start of the log: MM/DD/YYYY and HH:MM:SS.
  int month = 3, day = 15, year = 2003;
  int hour = 20, minute = 14, second = 7;
  // Names with double quotes and angle brackets, and killer names holding
  // the kill marker.
  bool hostile_names = false;
};

void GenerateLog(const LogGenOptions& options, std::ostream& out);
std::string GenerateLog(const LogGenOptions& options);

}  // namespace varnokel::loggen
