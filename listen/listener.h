// SPDX-License-Identifier: GPL-3.0-or-later
// The listener: live statistics from the game servers' log stream
// (varnokel-cli --listen).
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "listen/listen_options.h"

namespace varnokel {

// Receives the log stream on options.listen until SIGINT or SIGTERM (with
// `once`, until the first second without a datagram). Every accepted line is
// kept in its day file below <program_dir>/Logs first; the day files are
// folded into database `database_number` every second while they grow (at
// once again when a fold's budget left lines for later), and
// the site is written soon after a fold brought new players, otherwise at
// most `report_every_seconds` after the database changed. Day files older
// than `compress_after_days` are compressed. At the end whatever is left is
// folded and the site written once more if the database changed since. A start line, errors and
// a closing summary go to stderr, and a status line while stderr is a
// terminal. Returns how many times the site was written. Throws
// std::runtime_error when it cannot listen, FileError when the database
// folder is missing or the secret file cannot be read or is not private.
size_t RunListener(const std::filesystem::path& program_dir, std::string_view database_number,
                   const ListenOptions& options);

}  // namespace varnokel
