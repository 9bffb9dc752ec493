// SPDX-License-Identifier: GPL-3.0-or-later
// The game server's log stream: every log line in a UDP datagram of its own.
//
//   FF FF FF FF  "log "            "L 03/15/2003 - 20:14:07: ..."  LF  [NUL]
//   FF FF FF FF  "S" SECRET        "L 03/15/2003 - 20:14:07: ..."  LF  [NUL]
//
// The second form is sent by a server that has a secret configured; the
// secret runs up to the line's "L ". The line is the server's log line as it
// writes it to its log file (log_line_layout.h), ended by LF.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnokel {

inline constexpr std::string_view kDatagramHeader = "\xFF\xFF\xFF\xFF";
inline constexpr std::string_view kPlainMarker = "log ";
inline constexpr char kSecretMarker = 'S';

enum class DatagramVerdict {
  kLine,         // a log line to keep
  kWrongSecret,  // a log datagram with another secret than ours, or none where we have one
  kMalformed,    // anything else: no header, no line end, no date, a NUL or LF inside
};

struct LogDatagram {
  DatagramVerdict verdict = DatagramVerdict::kMalformed;
  // For kLine: the line from its "L " up to and including its LF (a CR before
  // the LF is kept). It holds no other LF and no NUL, and its DATE is
  // MM/DD/YYYY in digits with a month of 01 to 12 and a day of 01 to 31.
  std::string_view line;
};

// Reads one datagram. With `secret` only datagrams in the second form with
// exactly that secret are lines; without, only those in the first form.
LogDatagram ParseLogDatagram(std::string_view datagram, const std::optional<std::string>& secret);

}  // namespace varnokel
