#include "db/update_run.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

#include "db/database_lock.h"
#include "db/ledger.h"
#include "db/player_file.h"
#include "db/player_record.h"
#include "db/staged_commit.h"
#include "log/line_events.h"
#include "log/log_buffer.h"
#include "log/log_lines.h"

namespace varnokel {

namespace {

constexpr size_t kProgressEvery = 1 << 16;  // lines between progress calls

struct StringHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// The player files of one database as the run makes them. Each file is read
// once, on the first event for its player; nothing is written until the
// commit, which writes each changed file once.
class PlayerCache {
 public:
  struct Entry {
    std::string name;  // the file's name in the database folder
    PlayerRecord record;
    bool existed = false;  // on disk before the run
    bool exists = false;   // on disk before the run, or created by it
    bool changed = false;
  };

  PlayerCache(const std::filesystem::path& dir, const std::string& reference_line)
      : dir_(dir), reference_line_(reference_line) {}

  // The player's entry, reading the file on the first call. Throws FileError
  // naming the file when it cannot be read (a folder, a symbolic link, ...).
  Entry& Find(std::string_view id) {
    auto it = entries_.find(id);
    if (it != entries_.end()) return it->second;
    Entry entry;
    const std::filesystem::path path = PlayerFilePath(dir_, id);
    entry.name = path.filename().string();
    entry.existed = entry.exists = PlayerFileExists(path);
    if (entry.exists) entry.record = RecordFromFields(ReadPlayerFile(path));
    return entries_.emplace(std::string(id), std::move(entry)).first->second;
  }

  void Entered(Entry& entry, const LineEvents& e) {
    if (entry.exists) {
      ApplyEntered(entry.record, e.id, e.date, e.time, e.name);
    } else {
      entry.record = NewRecord(e.id, e.date, e.time, e.name);
    }
    Changed(entry);
  }

  void Increment(Entry& entry, std::string_view id, int index) {
    if (entry.exists) {
      ApplyIncrement(entry.record, index);
    } else {
      entry.record = UnknownRecord(id, reference_line_);
    }
    Changed(entry);
  }

  void Disconnected(Entry& entry, const LineEvents& e) {
    if (!entry.exists) return;  // never seen: no session start known
    ApplyDisconnected(entry.record, e.id, e.date, e.time, e.name);
    Changed(entry);
  }

  // The changed entries, in the order of their file names.
  std::vector<const Entry*> ChangedEntries() const {
    std::vector<const Entry*> changed;
    for (const auto& [id, entry] : entries_) {
      if (entry.changed) changed.push_back(&entry);
    }
    std::sort(changed.begin(), changed.end(),
              [](const Entry* a, const Entry* b) { return a->name < b->name; });
    return changed;
  }

 private:
  void Changed(Entry& entry) {
    entry.exists = true;
    entry.changed = true;
  }

  const std::filesystem::path& dir_;
  const std::string& reference_line_;
  std::unordered_map<std::string, Entry, StringHash, std::equal_to<>> entries_;
};

// Folds one line: every player it names is looked up before any count
// changes, so a line is folded whole or not at all. False for a line that is
// passed over as unreadable. Throws FileError when a player file cannot be
// read (the line then has no effect).
bool FoldLine(PlayerCache& cache, std::string_view line) {
  const std::optional<LineEvents> found = AnalyseLine(line);
  if (!found) return false;
  const LineEvents& e = *found;
  const bool names_player =
      e.entered || e.team_join != Team::kNone || e.kill || e.objective || e.disconnected;
  if (!names_player) return true;
  if (!IsValidPlayerId(e.id) || (e.kill && !IsValidPlayerId(e.killer))) return false;
  PlayerCache::Entry& player = cache.Find(e.id);
  PlayerCache::Entry* killer = e.kill ? &cache.Find(e.killer) : nullptr;

  if (e.entered) cache.Entered(player, e);
  if (e.team_join != Team::kNone) cache.Increment(player, e.id, TeamJoinField(e.team_join));
  if (e.kill) {
    cache.Increment(player, e.id, field::kDeaths);
    cache.Increment(*killer, e.killer, field::kKills);
    if (e.weapon != 0) cache.Increment(*killer, e.killer, WeaponKillsField(e.weapon));
  }
  if (e.objective) cache.Increment(player, e.id, ObjectiveField(*e.objective));
  if (e.disconnected) cache.Disconnected(player, e);
  return true;
}

// Where a run stopped: the log, the start of the failing line in its text,
// and that line's number.
struct StopPoint {
  size_t log = 0;
  size_t offset = 0;
  size_t line_number = 0;
};

// The ledger after folding every planned log before `stop.log` whole and
// `stop.log` up to `stop.offset`.
Ledger LedgerUpTo(const UpdatePlan& plan, const StopPoint& stop) {
  Ledger ledger = plan.ledger_before;
  for (size_t i = 0; i < stop.log; ++i) {
    const PlannedLog& log = plan.logs[i];
    if (log.fold) ledger.Record(log.match, log.match.whole, log.content.size(), log.name);
  }
  const PlannedLog& log = plan.logs[stop.log];
  const uint64_t folded = log.content.skipped + stop.offset;  // in the whole log
  if (folded > log.match.folded) {
    ledger.Record(log.match, PrefixDigest(log.content, folded), folded, log.name);
  }
  return ledger;
}

// Writes the changed player files and the ledger in one commit.
void Commit(const std::filesystem::path& dir, const PlayerCache& cache, const Ledger& before,
            const Ledger& after, bool sync, UpdateSummary& summary) {
  StagedCommit commit(dir, sync);
  try {
    for (const PlayerCache::Entry* entry : cache.ChangedEntries()) {
      commit.Stage(entry->name, SerializeRecord(entry->record));
      ++(entry->existed ? summary.players_changed : summary.players_new);
    }
    const std::string ledger = after.Format();
    if (ledger != before.Format()) commit.Stage(kLedgerFileName, ledger);
    commit.Commit();
  } catch (const FileError& error) {
    summary.players_new = summary.players_changed = 0;
    throw FileError(
        error.kind(), error.file(),
        (error.detail().empty() ? std::string() : error.detail() + "; ") + "nothing was folded");
  }
}

}  // namespace

std::string UpdateDoneStatus(std::string_view database_number) {
  return " Datenbank " + std::string(database_number) + " fertig...";
}

UpdateStopped::UpdateStopped(const FileError& cause, std::string log_name, size_t line_number,
                             size_t lines_folded)
    : FileError(cause.kind(), cause.file(),
                (cause.detail().empty() ? std::string() : cause.detail() + "; ") +
                    "stopped at line " + std::to_string(line_number) +
                    (log_name.empty() ? "" : " of " + log_name) + ", the " +
                    std::to_string(lines_folded) + " lines before it are folded"),
      log_name_(std::move(log_name)),
      line_number_(line_number),
      lines_folded_(lines_folded) {}

UpdateSummary DatabaseUpdateRun(const DatabaseLock& write_lock, const LogBuffer& buffer,
                                const UpdatePlan& plan, std::string& reference_line,
                                const UpdateOptions& options) {
  (void)buffer;  // the plan's views point into it; it must stay unchanged meanwhile
  const std::filesystem::path& dir = write_lock.database_dir();
  UpdateSummary summary;
  std::vector<std::string_view> pieces;
  for (const PlannedLog& log : plan.logs) {
    summary.lines_read += log.lines;
    summary.lines_already += log.lines_already;
    if (log.fold) pieces.push_back(log.content.text.substr(log.fold_from));
  }
  reference_line = std::string(MiddleLine(pieces));

  const size_t total = plan.LinesToFold();
  PlayerCache cache(dir, reference_line);
  std::optional<StopPoint> stop;
  std::optional<FileError> cause;
  size_t done = 0;
  for (size_t i = 0; i < plan.logs.size() && !stop; ++i) {
    const PlannedLog& log = plan.logs[i];
    if (!log.fold) continue;
    const std::string_view text = log.content.text;
    size_t line_number = log.lines_already;
    ForEachLine(text.substr(log.fold_from), [&](std::string_view line) {
      if (stop) return;
      ++line_number;
      try {
        if (!FoldLine(cache, line)) ++summary.lines_unreadable;
      } catch (const FileError& error) {
        stop = StopPoint{i, static_cast<size_t>(line.data() - text.data()), line_number};
        cause = error;
        return;
      }
      if (++done % kProgressEvery == 0 && options.progress) options.progress(done, total);
    });
  }
  summary.lines_folded = done - summary.lines_unreadable;

  if (stop) {
    Commit(dir, cache, plan.ledger_before, LedgerUpTo(plan, *stop), options.sync, summary);
    throw UpdateStopped(*cause, std::string(plan.logs[stop->log].name), stop->line_number,
                        summary.lines_folded);
  }
  Commit(dir, cache, plan.ledger_before, plan.ledger_after, options.sync, summary);
  if (options.progress) options.progress(total, total);
  return summary;
}

UpdateSummary DatabaseUpdateRun(const LogBuffer& buffer, const std::filesystem::path& database_dir,
                                std::string& reference_line, const UpdateOptions& options) {
  const DatabaseLock lock(database_dir, DatabaseLock::Access::kWrite);
  const UpdatePlan plan = PlanUpdate(buffer, Ledger::Read(database_dir), options.again);
  return DatabaseUpdateRun(lock, buffer, plan, reference_line, options);
}

}  // namespace varnokel
