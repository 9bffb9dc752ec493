// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line options of the listener (varnokel-cli --listen).
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "listen/endpoint.h"

namespace varnokel {

inline constexpr int kDefaultReportEverySeconds = 60;

struct ListenOptions {
  Endpoint listen;                                        // --listen [ADDR:]PORT
  std::vector<Endpoint> allowed;                          // --allow IP[:PORT], each
  int report_every_seconds = kDefaultReportEverySeconds;  // --report-every SECONDS
  std::optional<std::string> secret;                      // --secret TEXT
  std::optional<std::filesystem::path> secret_file;       // --secret-file FILE
  int compress_after_days = 0;                            // --compress-after DAYS; 0: never
  bool once = false;           // --once: stop after the first second without a datagram
  std::filesystem::path site;  // --site DIR before --listen; empty: <program>/html
};

// Takes the listener option at args[0] (--allow, --report-every, --secret,
// --secret-file, --compress-after or --once, with its value) into `options`.
// Returns how many arguments it took: 0 when args[0] is none of them. Sets
// `error` for a missing or bad value, or for --secret beside --secret-file.
size_t TakeListenOption(std::span<char* const> args, ListenOptions& options, std::string& error);

// One line per option for the usage text.
extern const char kListenOptionsHelp[];

}  // namespace varnokel
