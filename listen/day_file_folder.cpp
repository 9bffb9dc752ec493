#include "listen/day_file_folder.h"

#include <optional>
#include <set>
#include <utility>

#include "base/file_io.h"
#include "base/file_lock.h"
#include "db/ledger.h"
#include "db/update_plan.h"
#include "listen/fold_budget.h"
#include "log/log_buffer.h"

namespace varnokel {

namespace fs = std::filesystem;

namespace {

// A fold takes what arrived over at most this long at least: it keeps up with
// the senders, and yet a fold that took long is not followed by a longer one
// again and again.
constexpr auto kMostSecondsTaken = std::chrono::seconds(2);

// The most player files kept from one fold to the next (a few kilobytes
// each in memory): a fleet's players for hours, not a whole large database.
constexpr size_t kMostKeptPlayers = 32768;

}  // namespace

DayFileFolder::DayFileFolder(fs::path logs_dir, fs::path database_dir)
    : logs_dir_(std::move(logs_dir)),
      database_dir_(std::move(database_dir)),
      ledger_(database_dir_) {}

void DayFileFolder::TakeUpUnfolded(const std::vector<std::string>& day_files) {
  Ledger ledger;
  {
    const DatabaseLock lock(database_dir_, DatabaseLock::Access::kRead);
    ledger = Ledger::Read(database_dir_);
  }
  std::set<std::pair<std::string, uint64_t>> folded_whole;
  for (const LedgerRun& run : ledger.runs()) folded_whole.emplace(run.name, run.size);
  for (const PrefixEntry& entry : ledger.prefixes()) folded_whole.emplace(entry.name, entry.length);
  for (const std::string& relative : day_files) {
    std::error_code error;
    const uint64_t size = fs::file_size(logs_dir_ / relative, error);
    if (error || size == 0 || folded_whole.contains({relative, size})) continue;
    files_.try_emplace(relative);
    grown_.insert(relative);
  }
}

void DayFileFolder::Grown(const std::vector<std::string>& files) {
  const Clock::time_point now = Clock::now();
  for (const std::string& relative : files) {
    files_[relative].last_grown = now;
    grown_.insert(relative);
  }
}

bool DayFileFolder::HasWork() const {
  return !grown_.empty();
}

// The grown files with what they hold beyond what is folded, from the first
// sender on; `arrived` adds what those looked at before grew by since.
std::vector<DayFileFolder::Waiting> DayFileFolder::WaitingFiles(uint64_t& arrived) {
  std::vector<const std::string*> names;
  const auto first = grown_.lower_bound(first_sender_ + "/");
  for (auto it = first; it != grown_.end(); ++it) names.push_back(&*it);
  for (auto it = grown_.begin(); it != first; ++it) names.push_back(&*it);
  std::vector<Waiting> waiting;
  for (const std::string* name_of : names) {
    const std::string& name = *name_of;
    const Files::iterator it = files_.find(name);
    std::error_code error;
    const uint64_t size = fs::file_size(logs_dir_ / name, error);
    std::optional<uint64_t>& seen = it->second.size;
    if (!error && seen && size > *seen) arrived += size - *seen;
    if (!error) seen = size;
    // A file whose size cannot be seen is read below, where the error is named.
    if (error || size > it->second.start.folded)
      waiting.push_back({it, error ? 0 : size - it->second.start.folded});
  }
  return waiting;
}

// Of the `arrived` bytes the day files grew by since the last look, what the
// fold takes at least: all of it, or the share of the last kMostSecondsTaken
// when looks were further apart (none at the first look).
uint64_t DayFileFolder::ArrivedToTake(uint64_t arrived, Clock::time_point now) {
  const std::optional<Clock::time_point> last = std::exchange(last_look_, now);
  if (!last) return 0;
  const double seconds = std::chrono::duration<double>(now - *last).count();
  const double most = std::chrono::duration<double>(kMostSecondsTaken).count();
  return seconds <= most ? arrived
                         : static_cast<uint64_t>(static_cast<double>(arrived) * most / seconds);
}

UpdateSummary DayFileFolder::Fold(LockWait wait, std::string& reference_line) {
  if (!HasWork()) return {};
  const Clock::time_point start = Clock::now();
  const DatabaseLock lock(
      database_dir_,
      looked_for_leftovers_ ? DatabaseLock::Access::kWriteAgain : DatabaseLock::Access::kWrite,
      wait, {}, &retirement_);
  looked_for_leftovers_ = true;
  if (FileStamp::Of(database_dir_) != players_stamp_) players_.reset();
  uint64_t arrived = 0;
  const std::vector<Waiting> waiting = WaitingFiles(arrived);
  std::vector<uint64_t> sizes;
  for (const Waiting& file : waiting) sizes.push_back(file.bytes);
  const uint64_t share = FairShare(sizes, budget_.BytesWith(ArrivedToTake(arrived, Clock::now())));
  LogBuffer buffer;
  std::vector<LogStart> starts;
  std::vector<Files::iterator> loaded;
  std::set<std::string> left;  // files the budget cut: folded on next time
  uint64_t taken = 0;
  std::optional<FileError> unreadable;
  for (const Waiting& file : waiting) {
    DayFileState& state = file.it->second;
    try {
      // The event store records the sender (the day file's folder) as the server.
      buffer.SetServer(fs::path(file.it->first).begin()->string());
      const uint64_t most =
          share == LogBuffer::kWholePart ? share : state.start.folded - state.start.skipped + share;
      if (buffer.AppendFilePart(logs_dir_ / file.it->first, state.start.skipped, file.it->first,
                                most)) {
        starts.push_back(state.start);
        loaded.push_back(file.it);
        taken += std::min(file.bytes, share);
        if (file.bytes > share) left.insert(file.it->first);
      }
    } catch (const FileError& error) {
      unreadable = error;  // gone or unreadable: taken up again if it grows
      grown_.erase(file.it->first);
      files_.erase(file.it);
    }
  }
  UpdateSummary summary;
  if (!loaded.empty()) {
    UpdatePlan plan = PlanUpdate(buffer, starts, ledger_.Take());
    UpdateOptions options;
    options.most_new_players = budget_.new_players();
    options.journal_retirement = &retirement_;
    if (!players_) players_.emplace(database_dir_, reference_line);
    options.kept_players = &*players_;
    try {
      summary = DatabaseUpdateRun(lock, buffer, plan, reference_line, options);
    } catch (...) {
      players_.reset();  // they hold what was not committed
      throw;
    }
    KeepPlayers(!summary.stopped_in_log);
    const size_t folded_whole = summary.stopped_in_log.value_or(loaded.size());
    for (size_t i = 0; i < folded_whole; ++i)
      loaded[i]->second.start = NextStart(plan.logs[i], starts[i]);
    // A run stopped part-way commits a ledger the plan does not hold; the
    // next begins with the sender it stopped at, so that every sender's new
    // players have their turn.
    if (summary.stopped_in_log)
      first_sender_ = fs::path(loaded[*summary.stopped_in_log]->first).begin()->string();
    else
      ledger_.Committed(std::move(plan.ledger_after));
    const bool cut = !left.empty();
    // From where the run stopped on, the ledger says how far each is folded.
    for (size_t i = folded_whole; i < loaded.size(); ++i) left.insert(loaded[i]->first);
    budget_.Measured({.bytes = taken,
                      .bytes_cut = cut,
                      .new_players = summary.players_new,
                      .players_cut = summary.stopped_in_log.has_value(),
                      .took = Clock::now() - start});
  }
  // The others hold nothing complete beyond what is folded now.
  grown_ = std::move(left);
  if (unreadable) throw *unreadable;
  return summary;
}

void DayFileFolder::SettleJournal() {
  if (!retirement_.Waiting()) return;
  FileLock lock(database_dir_ / kLockFileName);
  if (lock.TryLock(FileLock::Mode::kExclusive))
    WriteOwnFile([&] { retirement_.Retire(database_dir_); });
}

void DayFileFolder::WriteOwnFile(const std::function<void()>& write) {
  const bool unchanged = players_ && FileStamp::Of(database_dir_) == players_stamp_;
  write();
  if (unchanged) players_stamp_ = FileStamp::Of(database_dir_);
}

// After a fold, under the database's lock: keeps the player files for the
// next when its run committed all it folded.
void DayFileFolder::KeepPlayers(bool all_committed) {
  if (all_committed && players_->size() <= kMostKeptPlayers) {
    players_stamp_ = FileStamp::Of(database_dir_);
  } else {
    players_.reset();
  }
}

void DayFileFolder::ForgetIdle(Clock::time_point idle_since) {
  std::erase_if(files_, [&](const auto& item) {
    return !grown_.contains(item.first) && item.second.last_grown < idle_since;
  });
}

}  // namespace varnokel
