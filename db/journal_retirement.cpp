#include "db/journal_retirement.h"

#include <system_error>
#include <utility>

#include "base/file_io.h"
#include "db/journaled_commit.h"

namespace varnokel {

namespace fs = std::filesystem;

namespace {

// True when `journal` ends in `trailer`.
bool EndsIn(const fs::path& journal, const std::string& trailer) {
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
  if (synced_.valid()) synced_.wait();  // the journal stays: the next command completes it
}

void JournalRetirement::Start(const fs::path& database_dir, std::string trailer) {
  trailer_ = std::move(trailer);
  synced_ = std::async(std::launch::async, [dir = database_dir] { SyncFileSystem(dir); }).share();
}

bool JournalRetirement::Holds(const fs::path& database_dir) const {
  return trailer_ && !fs::exists(fs::symlink_status(database_dir / kPendingJournalName)) &&
         EndsIn(database_dir / kJournalName, *trailer_);
}

void JournalRetirement::Retire(const fs::path& database_dir) {
  if (!trailer_) return;
  const std::string trailer = *std::exchange(trailer_, std::nullopt);
  const std::shared_future<void> synced = std::exchange(synced_, {});
  synced.get();  // throws what the sync threw
  const fs::path journal = database_dir / kJournalName;
  if (EndsIn(journal, trailer)) RemoveFile(journal);
}

}  // namespace varnokel
