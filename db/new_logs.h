// SPDX-License-Identifier: GPL-3.0-or-later
// Folder intake for scheduled runs: which log files of a folder a database
// does not hold yet, in the order they were written.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "base/file_io.h"
#include "db/ledger.h"

namespace varnokel {

struct NewLogs {
  std::vector<std::filesystem::path> files;  // oldest first
  size_t wholly_folded = 0;                  // logs passed over: all in the database
  std::vector<FileError> unreadable;         // files passed over: they could not be read
  // Files among `files` in which no line has a log time stamp (a binary, some
  // other text): loaded all the same, but worth a word to the operator.
  std::vector<std::filesystem::path> not_logs;
};

// The regular files of `folder` whose names end in ".log" or ".log.gz" (any
// case, the second read uncompressed) and whose finished lines (PlanUpdate)
// are not all in `ledger`, oldest first by the date and
// time of their first line (files whose first line has none come last), the
// file name breaking ties. A file that cannot be read is passed over and
// named in `unreadable`, so that one such file stops nothing else. Throws
// FileError(kOpen) naming the folder when it cannot be read.
NewLogs FindNewLogs(const std::filesystem::path& folder, const Ledger& ledger);

}  // namespace varnokel
