#include "listen/day_file_folder.h"

#include <optional>
#include <set>
#include <utility>

#include "base/file_io.h"
#include "db/ledger.h"
#include "db/update_plan.h"
#include "log/log_buffer.h"

namespace varnokel {

namespace fs = std::filesystem;

DayFileFolder::DayFileFolder(fs::path logs_dir, fs::path database_dir)
    : logs_dir_(std::move(logs_dir)), database_dir_(std::move(database_dir)) {}

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

UpdateSummary DayFileFolder::Fold(LockWait wait, std::string& reference_line) {
  if (!HasWork()) return {};
  const DatabaseLock lock(database_dir_, DatabaseLock::Access::kWrite, wait);
  const Ledger ledger = Ledger::Read(database_dir_);
  LogBuffer buffer;
  std::vector<LogStart> starts;
  std::vector<DayFileState*> loaded;
  std::optional<FileError> unreadable;
  for (auto name = grown_.begin(); name != grown_.end();) {
    const Files::iterator it = files_.find(*name);
    DayFileState& state = it->second;
    try {
      // The event store records the sender (the day file's folder) as the server.
      buffer.SetServer(fs::path(it->first).begin()->string());
      std::error_code error;
      const uint64_t size = fs::file_size(logs_dir_ / it->first, error);
      if ((error || size > state.start.folded) &&
          buffer.AppendFilePart(logs_dir_ / it->first, state.start.skipped, it->first)) {
        starts.push_back(state.start);
        loaded.push_back(&state);
        ++name;
      } else {
        name = grown_.erase(name);  // nothing complete beyond what is folded
      }
    } catch (const FileError& error) {
      unreadable = error;  // gone or unreadable: taken up again if it grows
      files_.erase(it);
      name = grown_.erase(name);
    }
  }
  UpdateSummary summary;
  if (!loaded.empty()) {
    const UpdatePlan plan = PlanUpdate(buffer, starts, ledger);
    summary = DatabaseUpdateRun(lock, buffer, plan, reference_line);
    for (size_t i = 0; i < loaded.size(); ++i)
      loaded[i]->start = NextStart(plan.logs[i], starts[i]);
    grown_.clear();
  }
  if (unreadable) throw *unreadable;
  return summary;
}

void DayFileFolder::ForgetIdle(Clock::time_point idle_since) {
  std::erase_if(files_, [&](const auto& item) {
    return !grown_.contains(item.first) && item.second.last_grown < idle_since;
  });
}

}  // namespace varnokel
