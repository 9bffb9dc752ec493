#include "db/update_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>
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

using Clock = std::chrono::steady_clock;

constexpr size_t kProgressEvery = 1 << 16;  // lines between progress calls
constexpr size_t kLinesPerChunk = 1 << 13;  // lines analysed in one go on the second thread
constexpr size_t kChunksAhead = 8;          // chunks the analysis may run ahead

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

// A line as the analysis leaves it for the fold: only lines that change
// something or are passed over as unreadable are kept.
struct AnalysedLine {
  LineEvents events;
  size_t offset = 0;       // where the line starts in its log's text
  size_t line_number = 0;  // 1-based, in its log
  bool unreadable = false;
};

struct Chunk {
  size_t log = 0;    // index in the plan
  size_t lines = 0;  // lines analysed, kept or not
  std::vector<AnalysedLine> kept;
};

bool NamesAPlayer(const LineEvents& e) {
  return e.entered || e.team_join != Team::kNone || e.kill || e.objective || e.disconnected;
}

// Analyses one line; false when it changes nothing.
bool Analyse(std::string_view line, AnalysedLine& out) {
  const std::optional<LineEvents> found = AnalyseLine(line);
  if (!found) {
    out.unreadable = true;
    return true;
  }
  if (!NamesAPlayer(*found)) return false;
  out.events = *found;
  out.unreadable = !IsValidPlayerId(found->id) || (found->kill && !IsValidPlayerId(found->killer));
  return true;
}

// The analysis of every planned line on a second thread, handed over chunk
// by chunk in log order; the fold applies them on the first thread.
class LineAnalysis {
 public:
  explicit LineAnalysis(const UpdatePlan& plan) : thread_([this, &plan] { Run(plan); }) {}
  LineAnalysis(const LineAnalysis&) = delete;
  LineAnalysis& operator=(const LineAnalysis&) = delete;
  ~LineAnalysis() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = true;
    }
    space_.notify_all();
    thread_.join();
  }

  // The next chunk, or nothing when all are handed over.
  std::optional<Chunk> Next() {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [this] { return !chunks_.empty() || finished_; });
    if (chunks_.empty()) return std::nullopt;
    Chunk chunk = std::move(chunks_.front());
    chunks_.pop_front();
    space_.notify_one();
    return chunk;
  }

 private:
  void Run(const UpdatePlan& plan) {
    for (size_t i = 0; i < plan.logs.size(); ++i) {
      const PlannedLog& log = plan.logs[i];
      if (!log.fold) continue;
      const std::string_view text = log.content.text;
      Chunk chunk{i, 0, {}};
      size_t line_number = log.lines_already;
      AnalysedLine analysed;
      bool go_on = true;
      ForEachLine(text.substr(log.fold_from), [&](std::string_view line) {
        if (!go_on) return;
        ++line_number;
        ++chunk.lines;
        if (Analyse(line, analysed)) {
          analysed.offset = static_cast<size_t>(line.data() - text.data());
          analysed.line_number = line_number;
          chunk.kept.push_back(analysed);
          analysed = AnalysedLine();
        }
        if (chunk.lines == kLinesPerChunk) {
          go_on = Hand(std::exchange(chunk, Chunk{i, 0, {}}));
        }
      });
      if (!go_on || !Hand(std::move(chunk))) return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    ready_.notify_all();
  }

  // Queues a chunk, waiting while the fold is far behind; false once the
  // fold has stopped.
  bool Hand(Chunk chunk) {
    std::unique_lock<std::mutex> lock(mutex_);
    space_.wait(lock, [this] { return chunks_.size() < kChunksAhead || stopped_; });
    if (stopped_) return false;
    chunks_.push_back(std::move(chunk));
    ready_.notify_one();
    return true;
  }

  std::mutex mutex_;
  std::condition_variable ready_, space_;
  std::deque<Chunk> chunks_;
  bool finished_ = false;  // every chunk is queued
  bool stopped_ = false;   // the fold wants no more
  std::thread thread_;
};

// Folds one analysed line: every player it names is looked up before any
// count changes, so a line is folded whole or not at all. Throws FileError
// when a player file cannot be read (the line then has no effect).
void FoldLine(PlayerCache& cache, const LineEvents& e) {
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
}

// Where a run stopped: the log, the start of the failing line in its text,
// and that line's number.
struct StopPoint {
  size_t log = 0;
  size_t offset = 0;
  size_t line_number = 0;
};

// The SHA-256 of the whole content of every log that folds, worked out on a
// thread of its own while the lines are folded (the ledger needs them only
// at the commit).
class WholeDigests {
 public:
  explicit WholeDigests(const UpdatePlan& plan)
      : digests_(plan.logs.size()), thread_([this, &plan] {
          for (size_t i = 0; i < plan.logs.size(); ++i) {
            const PlannedLog& log = plan.logs[i];
            if (log.fold) digests_[i] = WholeDigest(log.match, log.content);
          }
        }) {}
  ~WholeDigests() {
    if (thread_.joinable()) thread_.join();
  }
  const std::vector<Digest>& Get() {
    if (thread_.joinable()) thread_.join();
    return digests_;
  }

 private:
  std::vector<Digest> digests_;
  std::thread thread_;
};

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

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
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
  const auto fold_start = Clock::now();
  UpdateSummary summary;
  std::vector<std::string_view> pieces;
  std::vector<size_t> piece_line_ends;
  for (const PlannedLog& log : plan.logs) {
    summary.lines_read += log.lines;
    summary.lines_already += log.lines_already;
    if (!log.fold) continue;
    pieces.push_back(log.content.text.substr(log.fold_from));
    piece_line_ends.push_back(log.line_ends_to_fold);
  }
  reference_line = std::string(MiddleLine(pieces, piece_line_ends));

  WholeDigests whole(plan);
  const size_t total = plan.LinesToFold();
  PlayerCache cache(dir, reference_line);
  std::optional<StopPoint> stop;
  std::optional<FileError> cause;
  size_t done = 0;
  {
    LineAnalysis analysis(plan);
    while (!stop) {
      std::optional<Chunk> chunk = analysis.Next();
      if (!chunk) break;
      for (const AnalysedLine& line : chunk->kept) {
        if (line.unreadable) {
          ++summary.lines_unreadable;
          continue;
        }
        try {
          FoldLine(cache, line.events);
        } catch (const FileError& error) {
          stop = StopPoint{chunk->log, line.offset, line.line_number};
          cause = error;
          break;
        }
      }
      if (stop) break;
      const size_t previous = done;
      done += chunk->lines;
      if (options.progress && done / kProgressEvery != previous / kProgressEvery)
        options.progress(done, total);
    }
  }
  if (stop) {
    // Every line of the stopping log before the failing one is folded, and
    // the logs before it whole.
    done = 0;
    for (size_t i = 0; i < stop->log; ++i) {
      if (plan.logs[i].fold) done += plan.logs[i].line_ends_to_fold + 1;
    }
    done += stop->line_number - 1 - plan.logs[stop->log].lines_already;
  }
  summary.lines_folded = done - std::min(done, summary.lines_unreadable);
  const auto commit_start = Clock::now();
  summary.fold_seconds = std::chrono::duration<double>(commit_start - fold_start).count();

  const std::vector<Digest>& digests = whole.Get();
  if (stop) {
    Commit(dir, cache, plan.ledger_before, LedgerAfter(plan, digests, stop->log, stop->offset),
           options.sync, summary);
    throw UpdateStopped(*cause, std::string(plan.logs[stop->log].name), stop->line_number,
                        summary.lines_folded);
  }
  Commit(dir, cache, plan.ledger_before, LedgerAfter(plan, digests, plan.logs.size(), 0),
         options.sync, summary);
  summary.commit_seconds = SecondsSince(commit_start);
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
