// The update run done the straightforward way: every event reads its player
// file and rewrites it at once. Slow, and kept as the reference the cached
// run (DatabaseUpdateRun) must match byte for byte, also when a run stops at
// a failure.
#pragma once

#include <filesystem>
#include <string>

namespace varnokel {

class LogBuffer;

void DatabaseUpdateRunReference(const LogBuffer& buffer, const std::filesystem::path& database_dir,
                                std::string& reference_line);

}  // namespace varnokel
