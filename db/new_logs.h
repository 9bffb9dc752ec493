// Folder intake for scheduled runs: which log files of a folder a database
// does not hold yet, in the order they were written.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

#include "db/ledger.h"

namespace varnokel {

struct NewLogs {
  std::vector<std::filesystem::path> files;  // oldest first
  size_t wholly_folded = 0;                  // logs passed over: all in the database
};

// The regular files of `folder` whose names end in ".log" (any case) and
// whose finished lines (PlanUpdate) are not all in `ledger`, oldest first by the date and
// time of their first line (files whose first line has none come last), the
// file name breaking ties. Throws FileError(kOpen) naming the folder when it
// cannot be read, or a file that cannot.
NewLogs FindNewLogs(const std::filesystem::path& folder, const Ledger& ledger);

}  // namespace varnokel
