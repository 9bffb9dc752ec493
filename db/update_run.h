// SPDX-License-Identifier: GPL-3.0-or-later
// The database update run: folds the logs of the LogBuffer into the player
// files of one database, each log line exactly once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"
#include "db/update_plan.h"

namespace varnokel {

class DatabaseLock;
class JournalRetirement;
class PlayerCache;
class LogBuffer;

// " Datenbank " + number + " fertig...", appended to the status line.
std::string UpdateDoneStatus(std::string_view database_number);

// Called now and then with (lines done, lines in all) for progress displays.
using UpdateProgress = std::function<void(size_t, size_t)>;

struct UpdateOptions {
  bool again = false;       // fold every loaded log whole, whatever the ledger says (for the
                            // overload that plans; a given plan carries its own)
  bool event_store = true;  // false: the player files only, the store untouched (to compare)
  // A run that has created this many player files stops before the next line
  // (committing what is before it, see UpdateSummary::stopped_in_log): new
  // files cost far more than changed ones, so this bounds a run's time.
  size_t most_new_players = SIZE_MAX;
  UpdateProgress progress;
  // When given, the commit leaves the file system's sync and the journal's
  // removal to it (a writer that commits every second).
  JournalRetirement* journal_retirement = nullptr;
  // When given, the run reads and keeps player files in it instead of a
  // cache of its own (PlayerCache::StartRun); it must have been made with
  // the database folder and the `reference_line` of every run given it, and
  // holds what the run committed when the run returns without a stop. After
  // a stop or a failure it must go.
  PlayerCache* kept_players = nullptr;
};

struct UpdateSummary {
  size_t lines_read = 0;        // lines of every loaded log
  size_t lines_folded = 0;      // lines folded by this run
  size_t lines_already = 0;     // lines passed over: already in the database
  size_t lines_unreadable = 0;  // lines passed over: a scan would not end, or a
                                // player id names no file
  size_t players_new = 0;       // player files created
  size_t players_changed = 0;   // player files changed
  double fold_seconds = 0;      // reading player files and folding the lines
  double commit_seconds = 0;    // the journal written, committed and applied
  double durable_seconds = 0;   // of that, what makes it durable: the journal and the syncs
  // The plan's log where a run bounded by most_new_players stopped: the logs
  // before it are folded whole, it up to a line, the ones after not at all.
  std::optional<size_t> stopped_in_log;
};

// A run stopped by a file that could not be read: the lines before the
// failing one are folded and committed, the ledger says so, and the same
// command folds the rest once the cause is fixed.
class UpdateStopped : public FileError {
 public:
  UpdateStopped(const FileError& cause, std::string log_name, size_t line_number,
                size_t lines_folded);
  const std::string& log_name() const { return log_name_; }
  size_t line_number() const { return line_number_; }  // 1-based, in that log
  size_t lines_folded() const { return lines_folded_; }

 private:
  std::string log_name_;
  size_t line_number_;
  size_t lines_folded_;
};

// Folds what `plan` says into the database `write_lock` holds (taken for
// writing) and commits every change together with the new ledger: after a
// crash at any moment the database holds either all of it or none of it.
// Sets `reference_line` to the middle line of the folded text. Throws
// UpdateStopped as described there, or FileError when the changes cannot be
// written at all (the database is then as before and nothing is folded).
UpdateSummary DatabaseUpdateRun(const DatabaseLock& write_lock, const LogBuffer& buffer,
                                const UpdatePlan& plan, std::string& reference_line,
                                const UpdateOptions& options = {});

// The same with the lock taken (waiting for it) and the plan made here.
UpdateSummary DatabaseUpdateRun(const LogBuffer& buffer, const std::filesystem::path& database_dir,
                                std::string& reference_line, const UpdateOptions& options = {});

}  // namespace varnokel
