#include "db/staged_store_changes.h"

#include <exception>
#include <optional>

#include "db/event_store.h"

namespace varnokel {

StagedStoreChanges::StagedStoreChanges(const std::filesystem::path& database_dir,
                                       const StoreRecord& record)
    : staged_result_(staged_.get_future()),
      done_result_(done_.get_future()),
      decision_(commit_.get_future()),
      thread_([this, database_dir, &record] { Run(database_dir, record); }) {}

StagedStoreChanges::~StagedStoreChanges() {
  if (!decided_) commit_.set_value(false);
  thread_.join();
}

void StagedStoreChanges::WaitStaged() {
  staged_result_.get();
}

void StagedStoreChanges::StartCommit() {
  decided_ = true;
  commit_.set_value(true);
}

void StagedStoreChanges::FinishCommit() {
  done_result_.get();
}

// The store is opened, written and closed on this thread alone (a
// connection of SQLite's belongs to one thread here).
void StagedStoreChanges::Run(const std::filesystem::path& database_dir, const StoreRecord& record) {
  std::optional<EventStore> store;
  bool staged = false;
  try {
    store.emplace(database_dir, EventStore::Access::kWrite);
    staged = store->Stage(record);
    staged_.set_value();
  } catch (...) {
    staged_.set_exception(std::current_exception());
    done_.set_exception(std::current_exception());
    return;
  }
  const bool commit = decision_.get();
  try {
    if (staged && commit) store->CommitStaged();
    if (staged && !commit) store->RollBackStaged();
    done_.set_value();
  } catch (...) {
    done_.set_exception(std::current_exception());
  }
}

}  // namespace varnokel
