#include "db/update_run.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <future>
#include <optional>
#include <utility>

#include "db/database_lock.h"
#include "db/event_store.h"
#include "db/journaled_commit.h"
#include "db/ledger.h"
#include "db/line_analysis.h"
#include "db/log_digests.h"
#include "db/player_cache.h"
#include "db/player_file.h"
#include "db/player_record.h"
#include "db/staged_store_changes.h"
#include "db/store_fold.h"
#include "log/classic_line.h"
#include "log/log_buffer.h"
#include "log/log_line_layout.h"

namespace varnokel {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kProgressEvery = 1 << 16;  // lines between progress calls

// Looks up every player the parts of a line that NUL runs cut name, from
// kept[first] on: a file that cannot be read stops the run before any part
// of the line is folded. Throws FileError naming the file.
void FindPlayersOfParts(PlayerCache& cache, const std::vector<AnalysedLine>& kept, size_t first) {
  for (size_t i = first; i < kept.size() && kept[i].offset == kept[first].offset; ++i) {
    const AnalysedLine& part = kept[i];
    if (part.unreadable) continue;
    cache.Find(part.events.id, part.id_hash);
    if (part.events.kill) cache.Find(part.events.killer, part.killer_hash);
  }
}

LineClock ClockOf(std::string_view line) {
  return {log_line::Date(line), log_line::Time(line)};
}

StoreFold::PlayerNumber StoreNumber(StoreFold& store, PlayerCache::Entry& entry) {
  if (entry.store_number == StoreFold::kNoName) entry.store_number = store.Player(entry.id);
  return entry.store_number;
}

// What a line of the player files adds to the event store; `player` is the
// entry of the line's player before the line changes it.
void FoldIntoStore(StoreFold& store, const AnalysedLine& line, PlayerCache::Entry& player,
                   PlayerCache::Entry* killer) {
  const LineEvents& e = line.events;
  const LineClock clock{e.date, e.time};
  const StoreFold::PlayerNumber number = StoreNumber(store, player);
  if (e.entered || e.disconnected) store.NameSeen(number, e.name, clock);
  if (killer) store.Kill(StoreNumber(store, *killer), number, e, line.teams);
  if (e.objective) store.ObjectiveEvent(number, *e.objective, clock);
  if (e.disconnected && player.exists) {
    const Fields& f = player.record.fields;
    store.SessionEnded(number, {f[field::kEnterDate], f[field::kEnterTime]}, clock);
  }
}

// Folds one analysed line: every player it names is looked up before any
// count changes, so a line is folded whole or not at all. Throws FileError
// when a player file cannot be read (the line then has no effect).
void FoldLine(PlayerCache& cache, StoreFold* store, const AnalysedLine& line) {
  const LineEvents& e = line.events;
  if (line.map || line.suicide) {
    const LineClock clock{e.date, e.time};
    if (store && line.map) store->Map(*line.map, clock);
    if (store && line.suicide) store->Suicide(store->Player(e.id), clock);
    return;
  }
  PlayerCache::Entry& player = cache.Find(e.id, line.id_hash);
  PlayerCache::Entry* killer = e.kill ? &cache.Find(e.killer, line.killer_hash) : nullptr;

  if (store) FoldIntoStore(*store, line, player, killer);
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

// The event store's part of a run: the number its commit gets and what the
// lines add to it.
struct StoreRun {
  uint64_t commit = 0;
  MapsByServer server_maps;  // at the start of the run
  StoreFold fold;
};

// The counts of the plan as a whole: the lines of every loaded log, and those
// already in the database.
UpdateSummary PlannedCounts(const UpdatePlan& plan) {
  UpdateSummary summary;
  for (const PlannedLog& log : plan.logs) {
    summary.lines_read += log.lines;
    summary.lines_already += log.lines_already;
  }
  return summary;
}

// The event store's part of the run, none when the run leaves the store alone.
// A store that is missing or damaged stops the run before anything is read.
std::optional<StoreRun> StartStoreRun(const std::filesystem::path& dir,
                                      const UpdateOptions& options) {
  std::optional<StoreRun> store;
  if (!options.event_store) return store;
  const EventStore opened = EventStore::ForUpdate(dir);
  store.emplace();
  store->commit = opened.last_commit() + 1;
  store->server_maps = opened.ServerMaps();
  return store;
}

// A ledger that held nothing learns the log's chunks while its lines are
// folded: the ledger after the run, worked out meanwhile (nothing to wait for
// otherwise).
std::future<Ledger> LearnChunksMeanwhile(const UpdatePlan& plan) {
  if (!plan.chunks_later) return {};
  return std::async(std::launch::async, [&plan] { return LedgerAfterCut(plan); });
}

// True for the first of the parts that NUL runs cut one line into.
bool IsFirstPart(const std::vector<AnalysedLine>& kept, size_t i) {
  return kept[i].part && (i == 0 || kept[i - 1].offset != kept[i].offset);
}

// The fold of one run: the chunks of the analysis applied in log order, up to
// the end or to the first line whose player file cannot be read.
class FoldLoop {
 public:
  FoldLoop(const UpdatePlan& plan, PlayerCache& cache, StoreRun* store, UpdateSummary& summary,
           size_t most_new_players)
      : plan_(plan),
        cache_(cache),
        store_(store),
        summary_(summary),
        most_new_players_(most_new_players) {}

  // Folds every chunk the analysis hands over, calling `progress` now and then.
  void Run(LineAnalysis& analysis, const UpdateProgress& progress) {
    while (std::optional<AnalysedChunk> chunk = analysis.Next()) {
      // A new log, or a new range of one: the lines between were folded before.
      if (chunk->log != log_ || chunk->begin != end_) EnterStretch(*chunk);
      if (!FoldChunk(*chunk)) return;
      if (!chunk->last_line.empty()) last_line_ = chunk->last_line;
      end_ = chunk->end;
      const size_t previous = done_;
      done_ += chunk->lines;
      if (progress && done_ / kProgressEvery != previous / kProgressEvery)
        progress(done_, plan_.LinesToFold());
      analysis.Recycle(std::move(*chunk));
    }
  }

  // Ends the store's last log, at the line the run stopped at or at the last
  // line folded, and counts the lines folded.
  void Finish() {
    if (store_ && log_) {
      store_->fold.EndLog(stop_ ? ClockOf(plan_.logs[stop_->log].text.substr(stop_->offset))
                                : ClockOf(last_line_));
    }
    summary_.lines_folded = done_ - std::min(done_, summary_.lines_unreadable);
  }

  const std::optional<StopPoint>& stop() const { return stop_; }
  // Why the run stopped: none when it had made as many player files as it may.
  const std::optional<FileError>& cause() const { return cause_; }

 private:
  void EnterStretch(const AnalysedChunk& chunk) {
    if (store_) {
      const PlannedLog& planned = plan_.logs[chunk.log];
      if (log_) store_->fold.EndLog(ClockOf(last_line_));
      const RunningMap running = MapRunningAt(planned, chunk.begin, store_->server_maps);
      store_->fold.BeginLog(planned.server, running.map, ClockOf(chunk.first_line), running.since);
    }
    log_ = chunk.log;
    last_line_ = {};
  }

  // False when the run stops in this chunk.
  bool FoldChunk(const AnalysedChunk& chunk) {
    for (size_t i = 0; i < chunk.kept.size(); ++i) {
      const AnalysedLine& line = chunk.kept[i];
      if (cache_.created() >= most_new_players_ && (!line.part || IsFirstPart(chunk.kept, i))) {
        StopAt(chunk, line, std::nullopt);
        return false;
      }
      try {
        if (IsFirstPart(chunk.kept, i)) FindPlayersOfParts(cache_, chunk.kept, i);
        if (line.unreadable) {
          ++summary_.lines_unreadable;
          continue;
        }
        FoldLine(cache_, store_ ? &store_->fold : nullptr, line);
      } catch (const FileError& error) {
        StopAt(chunk, line, error);
        return false;
      }
    }
    return true;
  }

  // The lines of the chunk before `line` are folded; `line` and all after
  // it are left for the next run.
  void StopAt(const AnalysedChunk& chunk, const AnalysedLine& line,
              const std::optional<FileError>& error) {
    const PlannedLog& failing = plan_.logs[chunk.log];
    stop_ = StopPoint{chunk.log, line.offset,
                      failing.line_index->CountBefore(failing.text, line.offset) + 1};
    done_ += line.line_in_chunk - 1;
    cause_ = error;
  }

  const UpdatePlan& plan_;
  PlayerCache& cache_;
  StoreRun* const store_;
  UpdateSummary& summary_;
  const size_t most_new_players_;
  size_t done_ = 0;  // lines folded or passed over
  std::optional<StopPoint> stop_;
  std::optional<FileError> cause_;
  std::optional<size_t> log_;   // the log of the last chunk
  size_t end_ = 0;              // where in it the last chunk ended
  std::string_view last_line_;  // the last line of that stretch of the log not empty so far
};

// Writes the changed player files, the ledger and the store's changes in one
// commit.
void Commit(const std::filesystem::path& dir, const PlayerCache& cache, const Ledger& before,
            const Ledger& after, const StoreRun* store, UpdateSummary& summary,
            JournalRetirement* later) {
  JournaledCommit commit(dir);
  try {
    std::optional<StoreRecord> store_record;
    std::optional<StagedStoreChanges> staged;  // its thread adds the rows meanwhile
    if (store && !store->fold.changes().empty()) {
      store_record = store->fold.changes().Record(store->commit);
      staged.emplace(dir, *store_record);
      commit.Add(kEventStoreFileName, store_record->Serialize());
    }
    for (const PlayerCache::Entry* entry : cache.ChangedEntries()) {
      commit.Add(entry->name, SerializeRecord(entry->record));
      ++(entry->existed ? summary.players_changed : summary.players_new);
    }
    if (after != before) commit.Add(kLedgerFileName, after.Format());
    commit.Commit(staged ? &*staged : nullptr, later);
    summary.durable_seconds = commit.durable_seconds();
  } catch (const FileError& error) {
    summary.players_new = summary.players_changed = 0;
    throw FileError(error.kind(), error.file(),
                    (error.detail().empty() ? std::string() : error.detail() + "; ") +
                        "nichts wurde eingelesen");
  }
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Commits what a stopped run folded, with the ledger up to the line it
// stopped at. A run stopped by a file it could not read throws
// UpdateStopped; one that made as many player files as it may returns.
void CommitUpToStop(const std::filesystem::path& dir, const PlayerCache& cache,
                    const UpdatePlan& plan, const FoldLoop& fold, const StoreRun* store,
                    UpdateSummary& summary, Clock::time_point commit_start,
                    JournalRetirement* later) {
  const StopPoint& stop = *fold.stop();
  Commit(dir, cache, plan.ledger_before, LedgerAfter(plan, stop.log, stop.offset), store, summary,
         later);
  summary.commit_seconds = SecondsSince(commit_start);
  summary.stopped_in_log = stop.log;
  if (!fold.cause()) return;
  throw UpdateStopped(*fold.cause(), std::string(plan.logs[stop.log].name), stop.line_number,
                      summary.lines_folded);
}

}  // namespace

std::string UpdateDoneStatus(std::string_view database_number) {
  return " Datenbank " + std::string(database_number) + " fertig...";
}

UpdateStopped::UpdateStopped(const FileError& cause, std::string log_name, size_t line_number,
                             size_t lines_folded)
    : FileError(cause.kind(), cause.file(),
                (cause.detail().empty() ? std::string() : cause.detail() + "; ") +
                    "angehalten in Zeile " + std::to_string(line_number) +
                    (log_name.empty() ? "" : " von " + log_name) + ", die " +
                    std::to_string(lines_folded) + " Zeilen davor sind eingelesen"),
      log_name_(std::move(log_name)),
      line_number_(line_number),
      lines_folded_(lines_folded) {}

UpdateSummary DatabaseUpdateRun(const DatabaseLock& write_lock, const LogBuffer& buffer,
                                const UpdatePlan& plan, std::string& reference_line,
                                const UpdateOptions& options) {
  (void)buffer;  // the plan's views point into it; it must stay unchanged meanwhile
  const std::filesystem::path& dir = write_lock.database_dir();
  const auto fold_start = Clock::now();
  UpdateSummary summary = PlannedCounts(plan);
  std::optional<StoreRun> store = StartStoreRun(dir, options);
  StoreRun* const store_run = store ? &*store : nullptr;
  std::future<Ledger> ledger_after = LearnChunksMeanwhile(plan);
  std::optional<LineAnalysis> analysis(std::in_place, plan);
  reference_line = ClassicLineText(ReferenceLine(plan));  // while the analysis starts
  std::optional<PlayerCache> own_cache;
  PlayerCache& cache =
      options.kept_players ? *options.kept_players : own_cache.emplace(dir, reference_line);
  cache.StartRun();
  FoldLoop fold(plan, cache, store_run, summary, options.most_new_players);
  fold.Run(*analysis, options.progress);
  analysis.reset();  // stops what is left of the analysis
  fold.Finish();
  const auto commit_start = Clock::now();
  summary.fold_seconds = std::chrono::duration<double>(commit_start - fold_start).count();

  if (fold.stop()) {
    CommitUpToStop(dir, cache, plan, fold, store_run, summary, commit_start,
                   options.journal_retirement);
    return summary;
  }
  Commit(dir, cache, plan.ledger_before, plan.chunks_later ? ledger_after.get() : plan.ledger_after,
         store_run, summary, options.journal_retirement);
  if (options.kept_players) cache.Committed();
  summary.commit_seconds = SecondsSince(commit_start);
  if (options.progress) options.progress(plan.LinesToFold(), plan.LinesToFold());
  return summary;
}

UpdateSummary DatabaseUpdateRun(const LogBuffer& buffer, const std::filesystem::path& database_dir,
                                std::string& reference_line, const UpdateOptions& options) {
  const DatabaseLock lock(database_dir, DatabaseLock::Access::kWrite);
  const UpdatePlan plan = PlanUpdate(buffer, Ledger::Read(database_dir), options.again);
  return DatabaseUpdateRun(lock, buffer, plan, reference_line, options);
}

}  // namespace varnokel
