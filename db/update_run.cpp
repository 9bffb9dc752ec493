#include "db/update_run.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "db/database_lock.h"
#include "db/event_store.h"
#include "db/journaled_commit.h"
#include "db/ledger.h"
#include "db/player_file.h"
#include "db/player_record.h"
#include "db/store_fold.h"
#include "log/classic_line.h"
#include "log/line_events.h"
#include "log/log_buffer.h"
#include "log/log_line_layout.h"
#include "log/log_lines.h"
#include "log/match_recognisers.h"
#include "log/recognisers.h"

namespace varnokel {

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kProgressEvery = 1 << 16;  // lines between progress calls
constexpr size_t kStretchBytes = 1 << 20;   // log text analysed in one go
constexpr size_t kChunksAhead = 8;          // analysed stretches waiting for the fold at most
constexpr unsigned kMaxAnalysisThreads = 4;
constexpr size_t kShortestLine = 64;  // for reserving room: game lines are rarely shorter

// The hash the player cache finds an id by; the analysis threads work it out.
size_t IdHash(std::string_view id) {
  return std::hash<std::string_view>{}(id);
}

// The player files of one database as the run makes them. Each file is read
// once, on the first event for its player; nothing is written until the
// commit, which writes each changed file once.
class PlayerCache {
 public:
  struct Entry {
    std::string id;
    size_t hash = 0;   // IdHash(id)
    std::string name;  // the file's name in the database folder
    PlayerRecord record;
    uint32_t store_number = StoreFold::kNoName;  // the player's number in the event store's fold
    bool existed = false;                        // on disk before the run
    bool exists = false;                         // on disk before the run, or created by it
    bool changed = false;
  };

  PlayerCache(const std::filesystem::path& dir, const std::string& reference_line)
      : dir_(dir), reference_line_(reference_line), slots_(kFirstSlots, 0) {}

  // The entry of the player `id` (whose IdHash is `hash`), reading the file on
  // the first call. Throws FileError naming the file when it cannot be read
  // (a folder, a symbolic link, ...).
  Entry& Find(std::string_view id, size_t hash) {
    size_t slot = hash & (slots_.size() - 1);
    for (; slots_[slot] != 0; slot = (slot + 1) & (slots_.size() - 1)) {
      Entry& entry = entries_[slots_[slot] - 1];
      if (entry.hash == hash && entry.id == id) return entry;
    }
    Entry entry;
    entry.id = id;
    entry.hash = hash;
    const std::filesystem::path path = PlayerFilePath(dir_, id);
    entry.name = path.filename().string();
    entry.existed = entry.exists = PlayerFileExists(path);
    if (entry.exists) entry.record = RecordFromFields(ReadPlayerFile(path));
    entries_.push_back(std::move(entry));
    slots_[slot] = static_cast<uint32_t>(entries_.size());
    if (entries_.size() * 2 > slots_.size()) Rehash();
    return entries_.back();
  }

  void Entered(Entry& entry, const LineEvents& e) {
    if (entry.exists) {
      ApplyEntered(entry.record, e.id, e.date, e.time, e.name);
    } else {
      entry.record = NewRecord(e.id, e.date, e.time, e.name);
    }
    Changed(entry);
  }

  // The event that creates a player's file counts like every later one.
  void Increment(Entry& entry, std::string_view id, int index) {
    if (!entry.exists) entry.record = UnknownRecord(id, reference_line_);
    ApplyIncrement(entry.record, index);
    Changed(entry);
  }

  void Disconnected(Entry& entry, const LineEvents& e) {
    if (!entry.exists) return;  // never seen: no session start known
    ApplyDisconnected(entry.record, e.id, e.date, e.time, e.name);
    Changed(entry);
  }

  // Player files the run creates.
  size_t created() const { return created_; }

  // The changed entries, in the order of their file names.
  std::vector<const Entry*> ChangedEntries() const {
    std::vector<const Entry*> changed;
    for (const Entry& entry : entries_) {
      if (entry.changed) changed.push_back(&entry);
    }
    std::sort(changed.begin(), changed.end(),
              [](const Entry* a, const Entry* b) { return a->name < b->name; });
    return changed;
  }

 private:
  void Changed(Entry& entry) {
    if (!entry.existed && !entry.changed) ++created_;
    entry.exists = true;
    entry.changed = true;
  }

  // Twice as many slots, every entry placed anew.
  void Rehash() {
    slots_.assign(slots_.size() * 2, 0);
    for (size_t i = 0; i < entries_.size(); ++i) {
      size_t slot = entries_[i].hash & (slots_.size() - 1);
      while (slots_[slot] != 0) slot = (slot + 1) & (slots_.size() - 1);
      slots_[slot] = static_cast<uint32_t>(i + 1);
    }
  }

  static constexpr size_t kFirstSlots = 1024;  // a power of two

  const std::filesystem::path& dir_;
  const std::string& reference_line_;
  std::deque<Entry> entries_;    // in the order met; a deque keeps them in place
  std::vector<uint32_t> slots_;  // open addressing by hash: entry number + 1, 0 for none
  size_t created_ = 0;
};

// A line as the analysis leaves it for the fold: only lines that change
// something or are passed over as unreadable are kept.
struct AnalysedLine {
  LineEvents events;
  size_t offset = 0;         // where the line starts in its log's text
  size_t line_in_chunk = 0;  // 1-based, counted from the chunk's first line
  size_t id_hash = 0;        // IdHash of the ids
  size_t killer_hash = 0;
  bool unreadable = false;
  bool part = false;  // one of the parts of a line that NUL runs cut
  // What only the event store reads: a map line, a suicide (of events.id), or
  // the teams of a kill.
  std::optional<MapLine> map;
  bool suicide = false;
  std::optional<KillTeams> teams;
};

// A stretch of one log's text, cut right after a line end; the last stretch
// of a log runs to its end and holds the text after its last line end.
struct Stretch {
  size_t log = 0;  // index in the plan
  size_t begin = 0;
  size_t end = 0;
  bool last = false;
};

struct Chunk {
  size_t log = 0;    // index in the plan
  size_t begin = 0;  // the stretch of the log's text it holds
  size_t end = 0;
  size_t lines = 0;  // lines analysed, kept or not
  std::vector<AnalysedLine> kept;
  // The classic readings of kept lines a newer engine wrote (their events
  // point into them); a deque keeps them in place.
  std::deque<std::string> classic_lines;
  std::string_view first_line, last_line;  // the first and last that are not empty
};

bool NamesAPlayer(const LineEvents& e) {
  return e.entered || e.team_join != Team::kNone || e.kill || e.objective || e.disconnected;
}

// A line that counts for the event store only (a map line or a suicide);
// false when it is none.
bool AnalyseMatchLine(std::string_view line, AnalysedLine& out) {
  out.map = RecogniseMapLine(line);
  if (!out.map) {
    if (!IsSuicide(line)) return false;
    const std::optional<std::string_view> id = ExtractPlayerId(line);
    if (!id || !IsValidPlayerId(*id)) return false;
    out.suicide = true;
    out.events.id = *id;
  }
  out.events.date = log_line::Date(line);
  out.events.time = log_line::Time(line);
  return true;
}

// Analyses one line; false when it changes nothing.
bool Analyse(std::string_view line, AnalysedLine& out, std::string& classic) {
  const std::optional<LineEvents> found = AnalyseLine(line, classic);
  if (!found) {
    out.unreadable = true;
    return true;
  }
  // The line as its classic form reads (the events point into it).
  const std::string_view read = classic.empty() ? line : std::string_view(classic);
  if (!NamesAPlayer(*found)) return AnalyseMatchLine(read, out);
  out.events = *found;
  if (found->kill) out.teams = TeamsOfKill(read);
  out.unreadable = !IsValidPlayerId(found->id) || (found->kill && !IsValidPlayerId(found->killer));
  out.id_hash = IdHash(found->id);
  if (found->kill) out.killer_hash = IdHash(found->killer);
  return true;
}

// The ranges every planned log folds, cut into stretches of about
// kStretchBytes; their lines are exactly the lines of the ranges.
std::vector<Stretch> CutIntoStretches(const UpdatePlan& plan) {
  std::vector<Stretch> stretches;
  for (size_t i = 0; i < plan.logs.size(); ++i) {
    const std::string_view text = plan.logs[i].text;
    for (const LineRange& range : plan.logs[i].ranges) {
      for (size_t begin = range.begin; begin < range.end || begin == text.size();) {
        const size_t lf =
            range.end - begin > kStretchBytes ? text.find('\n', begin + kStretchBytes) : text.npos;
        const size_t end = lf < range.end ? lf + 1 : range.end;
        stretches.push_back({i, begin, end, end == text.size()});
        if (end == range.end) break;
        begin = end;
      }
    }
  }
  return stretches;
}

// The analysis of every planned line, stretch by stretch on as many threads
// as the machine has cores; the fold takes the chunks in log order and applies
// them on its own thread. The analysis runs at most kChunksAhead chunks ahead.
class LineAnalysis {
 public:
  explicit LineAnalysis(const UpdatePlan& plan)
      : plan_(plan), stretches_(CutIntoStretches(plan)), chunks_(stretches_.size()) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const size_t threads =
        std::min<size_t>(std::min(cores, kMaxAnalysisThreads), stretches_.size());
    for (size_t t = 0; t < threads; ++t) threads_.emplace_back([this] { Work(); });
  }
  LineAnalysis(const LineAnalysis&) = delete;
  LineAnalysis& operator=(const LineAnalysis&) = delete;
  ~LineAnalysis() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = true;
    }
    space_.notify_all();
    for (std::thread& thread : threads_) thread.join();
  }

  // The next chunk in log order, or nothing when all are handed over.
  std::optional<Chunk> Next() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (taken_ == chunks_.size()) return std::nullopt;
    ready_.wait(lock, [this] { return chunks_[taken_].has_value(); });
    Chunk chunk = std::move(*chunks_[taken_]);
    chunks_[taken_++].reset();
    space_.notify_all();
    return chunk;
  }

  // Gives back the lines of a chunk the fold is done with, for reuse.
  void Recycle(Chunk&& chunk) {
    chunk.kept.clear();
    chunk.classic_lines.clear();
    std::lock_guard<std::mutex> lock(mutex_);
    spare_.push_back(std::move(chunk.kept));
  }

 private:
  void Work() {
    for (;;) {
      size_t index = 0;
      Chunk chunk;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        space_.wait(lock, [this] {
          return stopped_ || next_ == stretches_.size() || next_ < taken_ + kChunksAhead;
        });
        if (stopped_ || next_ == stretches_.size()) return;
        index = next_++;
        if (!spare_.empty()) {
          chunk.kept = std::move(spare_.back());
          spare_.pop_back();
        }
      }
      AnalyseStretch(stretches_[index], chunk);
      std::lock_guard<std::mutex> lock(mutex_);
      chunks_[index] = std::move(chunk);
      ready_.notify_all();
    }
  }

  void AnalyseStretch(const Stretch& stretch, Chunk& chunk) const {
    const std::string_view text = plan_.logs[stretch.log].text;
    const std::string_view piece = text.substr(stretch.begin, stretch.end - stretch.begin);
    const char* const piece_end = piece.data() + piece.size();
    chunk.log = stretch.log;
    chunk.begin = stretch.begin;
    chunk.end = stretch.end;
    chunk.kept.reserve(kStretchBytes / kShortestLine);
    const bool has_nul = !piece.empty() && std::memchr(piece.data(), '\0', piece.size()) != nullptr;
    std::string scratch;
    ForEachLine(piece, [&](std::string_view line) {
      // A stretch cut after a line end: the empty text behind it is the next
      // stretch's first line.
      if (!stretch.last && line.data() == piece_end) return;
      ++chunk.lines;
      if (!line.empty()) {
        if (chunk.first_line.empty()) chunk.first_line = line;
        chunk.last_line = line;
      }
      const size_t offset = static_cast<size_t>(line.data() - text.data());
      if (!has_nul || std::memchr(line.data(), '\0', line.size()) == nullptr) {
        AnalysePart(line, offset, false, chunk, scratch);
        return;
      }
      const size_t runs = ForEachPartBetweenNulRuns(
          line, [&](std::string_view part) { AnalysePart(part, offset, true, chunk, scratch); });
      for (size_t run = 0; run < runs; ++run) {
        AnalysedLine& nul_run = chunk.kept.emplace_back();
        nul_run.unreadable = nul_run.part = true;
        nul_run.offset = offset;
        nul_run.line_in_chunk = chunk.lines;
      }
    });
  }

  // Keeps the analysis of a line (or a part of one) starting at `offset` of
  // its log when it changes something. `scratch` takes the classic reading of
  // a newer engine's line; a kept one is read again into the chunk's own
  // storage, where its events can point.
  static void AnalysePart(std::string_view text, size_t offset, bool part, Chunk& chunk,
                          std::string& scratch) {
    AnalysedLine& analysed = chunk.kept.emplace_back();
    scratch.clear();
    if (!Analyse(text, analysed, scratch)) {
      chunk.kept.pop_back();
      return;
    }
    if (!scratch.empty()) Analyse(text, analysed, chunk.classic_lines.emplace_back());
    analysed.offset = offset;
    analysed.line_in_chunk = chunk.lines;
    analysed.part = part;
  }

  const UpdatePlan& plan_;
  const std::vector<Stretch> stretches_;
  std::mutex mutex_;
  std::condition_variable ready_, space_;
  std::vector<std::optional<Chunk>> chunks_;  // by stretch, while analysed and not taken
  std::vector<std::vector<AnalysedLine>> spare_;
  size_t next_ = 0;       // the next stretch to analyse
  size_t taken_ = 0;      // chunks the fold has taken
  bool stopped_ = false;  // the fold wants no more
  std::vector<std::thread> threads_;
};

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

// The line unknown players take their first date and time from: line n / 2
// of the text the folded ranges make when joined by CR LF, n being the LF
// characters in it.
std::string_view ReferenceLine(const UpdatePlan& plan) {
  const size_t lines = plan.LinesToFold();
  if (lines == 0) return {};
  size_t target = (lines - 1) / 2;  // the joins are line ends too
  for (const PlannedLog& log : plan.logs) {
    for (const LineRange& range : log.ranges) {
      const size_t in_range = log.LinesIn(range);
      if (target < in_range) {
        const size_t first = log.line_index->CountBefore(log.text, range.begin);
        return LineOf(log.text, *log.line_index, first + target);
      }
      target -= in_range;
    }
  }
  return {};
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
  std::unordered_map<std::string, std::string> server_maps;  // at the start of the run
  StoreFold fold;

  // The map running at `begin` of `log` (where a folded range starts): the
  // last map line before it, or, for the part of a log read on without its
  // beginning, the map its server ran at the end of the last commit.
  std::string_view MapAt(const PlannedLog& log, size_t begin) const {
    const std::string_view map = LastMapBefore(log.text, begin);
    if (!map.empty() || log.skipped == 0) return map;
    const auto found = server_maps.find(std::string(log.server));
    return found == server_maps.end() ? std::string_view() : std::string_view(found->second);
  }
};

// Writes the changed player files, the ledger and the store's changes in one
// commit.
void Commit(const std::filesystem::path& dir, const PlayerCache& cache, const Ledger& before,
            const Ledger& after, const StoreRun* store, UpdateSummary& summary) {
  JournaledCommit commit(dir);
  try {
    if (store && !store->fold.changes().empty())
      commit.Add(kEventStoreFileName, store->fold.changes().Serialize(store->commit));
    for (const PlayerCache::Entry* entry : cache.ChangedEntries()) {
      commit.Add(entry->name, SerializeRecord(entry->record));
      ++(entry->existed ? summary.players_changed : summary.players_new);
    }
    const std::string ledger = after.Format();
    if (ledger != before.Format()) commit.Add(kLedgerFileName, ledger);
    commit.Commit();
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
  UpdateSummary summary;
  for (const PlannedLog& log : plan.logs) {
    summary.lines_read += log.lines;
    summary.lines_already += log.lines_already;
  }
  // A store that is missing or damaged stops the run before anything is read.
  std::optional<StoreRun> store;
  if (options.event_store) {
    const EventStore opened = EventStore::ForUpdate(dir);
    store.emplace();
    store->commit = opened.last_commit() + 1;
    store->server_maps = opened.ServerMaps();
  }
  StoreFold* const store_fold = store ? &store->fold : nullptr;
  // A ledger that held nothing learns the log's chunks while its lines are folded.
  std::future<Ledger> ledger_after;
  if (plan.chunks_later)
    ledger_after = std::async(std::launch::async, [&plan] { return LedgerAfterCut(plan); });
  std::optional<LineAnalysis> analysis(std::in_place, plan);
  reference_line = ClassicLineText(ReferenceLine(plan));  // while the analysis starts
  const size_t total = plan.LinesToFold();
  PlayerCache cache(dir, reference_line);
  std::optional<StopPoint> stop;
  std::optional<FileError> cause;
  size_t done = 0;
  {
    std::optional<size_t> log;   // the log of the last chunk
    size_t end = 0;              // where in it the last chunk ended
    std::string_view last_line;  // the last line of that stretch of the log not empty so far
    while (!stop) {
      std::optional<Chunk> chunk = analysis->Next();
      if (!chunk) break;
      // A new log, or a new range of one: the lines between were folded before.
      if (chunk->log != log || chunk->begin != end) {
        const PlannedLog& planned = plan.logs[chunk->log];
        if (store_fold && log) store_fold->EndLog(ClockOf(last_line));
        if (store_fold) {
          store_fold->BeginLog(planned.server, store->MapAt(planned, chunk->begin),
                               ClockOf(chunk->first_line));
        }
        log = chunk->log;
        last_line = {};
      }
      for (size_t i = 0; i < chunk->kept.size(); ++i) {
        const AnalysedLine& line = chunk->kept[i];
        const bool first_part = line.part && (i == 0 || chunk->kept[i - 1].offset != line.offset);
        if (cache.created() >= options.most_new_players && (!line.part || first_part)) {
          const PlannedLog& bounded = plan.logs[chunk->log];
          stop = StopPoint{chunk->log, line.offset,
                           bounded.line_index->CountBefore(bounded.text, line.offset) + 1};
          done += line.line_in_chunk - 1;  // the lines before it are folded
          break;
        }
        try {
          if (first_part) FindPlayersOfParts(cache, chunk->kept, i);
          if (line.unreadable) {
            ++summary.lines_unreadable;
            continue;
          }
          FoldLine(cache, store_fold, line);
        } catch (const FileError& error) {
          const PlannedLog& failing = plan.logs[chunk->log];
          stop = StopPoint{chunk->log, line.offset,
                           failing.line_index->CountBefore(failing.text, line.offset) + 1};
          done += line.line_in_chunk - 1;  // the lines before it are folded
          cause = error;
          break;
        }
      }
      if (stop) break;
      if (!chunk->last_line.empty()) last_line = chunk->last_line;
      end = chunk->end;
      const size_t previous = done;
      done += chunk->lines;
      if (options.progress && done / kProgressEvery != previous / kProgressEvery)
        options.progress(done, total);
      analysis->Recycle(std::move(*chunk));
    }
    analysis.reset();  // stops what is left of the analysis
    if (store_fold && log) {
      store_fold->EndLog(stop ? ClockOf(plan.logs[stop->log].text.substr(stop->offset))
                              : ClockOf(last_line));
    }
  }
  summary.lines_folded = done - std::min(done, summary.lines_unreadable);
  const auto commit_start = Clock::now();
  summary.fold_seconds = std::chrono::duration<double>(commit_start - fold_start).count();

  if (stop) {
    Commit(dir, cache, plan.ledger_before, LedgerAfter(plan, stop->log, stop->offset),
           store ? &*store : nullptr, summary);
    summary.commit_seconds = SecondsSince(commit_start);
    summary.stopped_in_log = stop->log;
    if (!cause) return summary;
    throw UpdateStopped(*cause, std::string(plan.logs[stop->log].name), stop->line_number,
                        summary.lines_folded);
  }
  Commit(dir, cache, plan.ledger_before, plan.chunks_later ? ledger_after.get() : plan.ledger_after,
         store ? &*store : nullptr, summary);
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
