#include "db/update_run.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "base/file_io.h"
#include "db/player_file.h"
#include "db/player_record.h"
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

// The player files of one database as the run has made them so far. Each file
// is read once, on the first event for its player, and written at once the
// first time the run changes it (so that a file that cannot be written stops
// the run on the same line as rewriting at every event would); later changes
// stay in memory until Flush. Records round-trip exactly through their bytes,
// so the files end up as the reference run leaves them.
class PlayerCache {
 public:
  PlayerCache(const std::filesystem::path& dir, const std::string& reference_line)
      : dir_(dir), reference_line_(reference_line) {}

  void Entered(const LineEvents& e) {
    Entry& entry = Find(e.id);
    if (entry.exists) {
      ApplyEntered(entry.record, e.id, e.date, e.time, e.name);
    } else {
      entry.record = NewRecord(e.id, e.date, e.time, e.name);
    }
    Changed(entry);
  }

  void Increment(std::string_view id, int index) {
    Entry& entry = Find(id);
    if (entry.exists) {
      ApplyIncrement(entry.record, index);
    } else {
      entry.record = UnknownRecord(id, reference_line_);
    }
    Changed(entry);
  }

  void Disconnected(const LineEvents& e) {
    Entry& entry = Find(e.id);
    if (!entry.exists) return;  // never seen: no session start known
    ApplyDisconnected(entry.record, e.id, e.date, e.time, e.name);
    Changed(entry);
  }

  // Writes every file changed since its last write. After a failure the
  // remaining files are still written, and the first error is thrown.
  void Flush() {
    std::optional<FileError> first_error;
    for (Entry* entry : dirty_) {
      try {
        WriteFileAtomic(entry->path, SerializeRecord(entry->record));
      } catch (const FileError& error) {
        if (!first_error) first_error = error;
      }
      entry->dirty = false;
    }
    dirty_.clear();
    if (first_error) throw *first_error;
  }

 private:
  struct Entry {
    std::filesystem::path path;
    PlayerRecord record;
    bool exists = false;   // the file is on disk
    bool written = false;  // written at least once in this run
    bool dirty = false;    // changed since its last write
  };

  Entry& Find(std::string_view id) {
    auto it = entries_.find(id);
    if (it != entries_.end()) return it->second;
    Entry entry;
    entry.path = PlayerFilePath(dir_, id);
    entry.exists = PlayerFileExists(entry.path);
    if (entry.exists) entry.record = RecordFromFields(ReadPlayerFile(entry.path));
    return entries_.emplace(std::string(id), std::move(entry)).first->second;
  }

  void Changed(Entry& entry) {
    if (!entry.written) {
      WriteFileAtomic(entry.path, SerializeRecord(entry.record));
      entry.written = true;
      entry.exists = true;
      return;
    }
    if (!entry.dirty) {
      entry.dirty = true;
      dirty_.push_back(&entry);
    }
  }

  const std::filesystem::path& dir_;
  const std::string& reference_line_;
  std::unordered_map<std::string, Entry, StringHash, std::equal_to<>> entries_;
  std::vector<Entry*> dirty_;
};

void ApplyLine(PlayerCache& cache, const LineEvents& e) {
  if (e.entered) cache.Entered(e);
  if (e.team_join != Team::kNone) cache.Increment(e.id, TeamJoinField(e.team_join));
  if (e.kill) {
    cache.Increment(e.id, field::kDeaths);
    cache.Increment(e.killer, field::kKills);
    if (e.weapon != 0) cache.Increment(e.killer, WeaponKillsField(e.weapon));
  }
  if (e.objective) cache.Increment(e.id, ObjectiveField(*e.objective));
  if (e.disconnected) cache.Disconnected(e);
}

}  // namespace

std::string UpdateDoneStatus(std::string_view database_number) {
  return " Datenbank " + std::string(database_number) + " fertig...";
}

void DatabaseUpdateRun(const LogBuffer& buffer, const std::filesystem::path& database_dir,
                       std::string& reference_line, const UpdateProgress& progress) {
  const std::string_view text = buffer.text();
  reference_line = std::string(MiddleLine(text));
  const size_t total = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  PlayerCache cache(database_dir, reference_line);
  size_t done = 0;
  try {
    ForEachLine(text, [&](std::string_view line) {
      if (std::optional<LineEvents> events = AnalyseLine(line)) ApplyLine(cache, *events);
      if (++done % kProgressEvery == 0 && progress) progress(done, total);
    });
  } catch (...) {
    try {
      cache.Flush();
    } catch (const FileError&) {
      // The failure that stopped the run is the one to report.
    }
    throw;
  }
  cache.Flush();
  if (progress) progress(total, total);
}

}  // namespace varnokel
