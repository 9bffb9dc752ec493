#include "db/journal_retirement.h"

#include <chrono>
#include <system_error>
#include <utility>

#include "base/file_io.h"
#include "db/journaled_commit.h"

namespace varnokel {

namespace fs = std::filesystem;

namespace {

// True when `journal` ends in `trailer`.
bool EndsIn(const fs::path& journal, std::string_view trailer) {
  std::error_code error;
  const uintmax_t size = fs::file_size(journal, error);
  if (error || size < trailer.size()) return false;
  std::string tail;
  try {
    AppendFileBytesFrom(tail, journal, size - trailer.size(), /*follow_links=*/false);
  } catch (const FileError&) {
    return false;
  }
  return tail == trailer;
}

}  // namespace

JournalRetirement::~JournalRetirement() {
  // The journal stays: the next command completes it.
  if (synced_.valid()) synced_.wait();
  for (const std::shared_future<void>& sync : superseded_) sync.wait();
}

std::string_view JournalRetirement::Trailer() const {
  return std::string_view(*journal_).substr(journal_->size() - trailer_size_);
}

void JournalRetirement::Start(const fs::path& database_dir, std::string journal,
                              size_t trailer_size) {
  journal_ = std::move(journal);
  trailer_size_ = trailer_size;
  synced_ = std::async(std::launch::async, [dir = database_dir] { SyncFileSystem(dir); }).share();
}

std::optional<std::string> JournalRetirement::TakeUnsynced(const fs::path& database_dir) {
  if (!journal_) return std::nullopt;
  auto done = [](const std::shared_future<void>& sync) {
    return sync.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
  };
  if (done(synced_) || journal_->size() > kMostCarriedBytes || !Holds(database_dir)) {
    Retire(database_dir);
    return std::nullopt;
  }
  std::erase_if(superseded_, done);
  superseded_.push_back(std::exchange(synced_, {}));
  return std::exchange(journal_, std::nullopt);
}

bool JournalRetirement::Holds(const fs::path& database_dir) const {
  return journal_ && !fs::exists(fs::symlink_status(database_dir / kPendingJournalName)) &&
         EndsIn(database_dir / kJournalName, Trailer());
}

void JournalRetirement::Retire(const fs::path& database_dir) {
  if (!journal_) return;
  const std::string trailer(Trailer());
  journal_.reset();
  const std::shared_future<void> synced = std::exchange(synced_, {});
  synced.get();  // throws what the sync threw
  const fs::path journal = database_dir / kJournalName;
  if (EndsIn(journal, trailer)) RemoveFile(journal);
}

}  // namespace varnokel
