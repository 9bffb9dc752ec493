// SPDX-License-Identifier: GPL-3.0-or-later
// The event store in the engine tests: its contents as a canonical dump, and
// an empty store for a database whose player files a test wrote by hand.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "db/event_store.h"
#include "tests/core/test_support.h"

namespace varnokel::testing {

// The database's files (its ledger too, not the lock), the event store as its
// canonical dump: equal for two databases that hold the same.
inline std::map<std::string, std::string> DatabaseState(const std::filesystem::path& dir) {
  std::map<std::string, std::string> state = FolderContents(dir);
  state.erase(".lock");
  if (state.contains(std::string(kEventStoreFileName))) {
    state[std::string(kEventStoreFileName)] =
        EventStore(dir, EventStore::Access::kRead).CanonicalDump();
  }
  return state;
}

// The rows of a query on the event store of `dir`, columns joined by "|".
inline std::vector<std::string> StoreRows(const std::filesystem::path& dir, std::string_view sql) {
  std::vector<std::string> rows;
  EventStore(dir, EventStore::Access::kRead)
      .ForEachRow(sql, [&](const std::vector<std::string>& columns) {
        std::string row;
        for (size_t i = 0; i < columns.size(); ++i) row += (i == 0 ? "" : "|") + columns[i];
        rows.push_back(row);
      });
  return rows;
}

// Puts an empty event store into `dir` (made in an empty folder beside it,
// as an update makes it for an empty database).
inline void AddEmptyStore(const std::filesystem::path& dir) {
  TempDir empty;
  EventStore::ForUpdate(empty.path());
  std::filesystem::copy_file(EventStorePath(empty.path()), EventStorePath(dir));
}

}  // namespace varnokel::testing
