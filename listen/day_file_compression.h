// SPDX-License-Identifier: GPL-3.0-or-later
// Old day files kept compressed (--compress-after DAYS): a day file dated
// more than DAYS days before the listener's date, that no listener writes
// and that the database holds whole, is replaced by L<YYYYMMDD>.log.gz. It
// stays the same log: --load and --load-new read it uncompressed, and the
// ledger, which knows a log by its uncompressed bytes, finds it folded.
//
// The compressed file is written and synced beside the day file under a
// temporary name and renamed into place before the day file goes, so a death
// at any point leaves the day file, or both (compressed again at the next
// start), never neither.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "db/ledger.h"

namespace varnokel {

inline constexpr std::string_view kCompressedSuffix = ".gz";

// Compresses those of `day_files` (paths below `logs_dir`) that the rule
// above allows on day `today` (a day number); returns how many. Throws
// FileError naming a file that cannot be read or written (after compressing
// those before it).
size_t CompressOldDayFiles(const std::filesystem::path& logs_dir,
                           const std::vector<std::string>& day_files, const Ledger& ledger,
                           int64_t today, int after_days);

}  // namespace varnokel
