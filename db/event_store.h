// SPDX-License-Identifier: GPL-3.0-or-later
// The event store beside each database's player files: an SQLite file,
// "statistik.sqlite", that keeps what the player files cannot (days, maps,
// servers, every weapon, headshots, names, sessions) as sums. It changes only
// inside a database's journaled commit: the journal carries the changes with
// a commit number, and the store remembers the last number it took, so a
// journal completed after a crash never adds its changes twice.
//
// A store is made only for a database without player files and ledger; a
// missing or foreign one beside player files stops every command that would
// write it, naming it (it is never made afresh behind the user's back).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "db/store_changes.h"
#include "db/store_rows.h"

struct sqlite3;

namespace varnokel {

inline constexpr std::string_view kEventStoreFileName = "statistik.sqlite";
// SQLite's rollback journal of the store, beside it while a commit writes.
inline constexpr std::string_view kEventStoreJournalName = "statistik.sqlite-journal";

std::filesystem::path EventStorePath(const std::filesystem::path& database_dir);

class EventStore {
 public:
  enum class Access { kRead, kWrite };

  // Opens the store of `database_dir` and checks that it is one of this
  // version. Throws FileError naming the file when it is missing, no SQLite
  // file, another program's or of another version.
  EventStore(const std::filesystem::path& database_dir, Access access);
  ~EventStore();
  EventStore(EventStore&&) noexcept;
  EventStore& operator=(EventStore&&) = delete;

  // Opens the store for an update, making it first when the database holds
  // neither player files nor a ledger. The caller holds the write lock.
  static EventStore ForUpdate(const std::filesystem::path& database_dir);

  // The number of the last commit whose changes the store holds (0: none).
  uint64_t last_commit() const;

  // Adds the changes of `record` (commit number record.commit) in one
  // durable transaction, or nothing when the store holds that commit
  // already. Throws FileError naming the store.
  void Apply(const StoreRecord& record);
  // Apply in two steps: Stage adds the changes in a transaction left open
  // (false, and nothing open, when the store holds that commit already);
  // CommitStaged makes them durable, RollBackStaged takes them out. A
  // program that ends in between leaves the store as it was.
  bool Stage(const StoreRecord& record);
  void CommitStaged();
  void RollBackStaged() noexcept;

  // The map running on each server (by name) at the end of the last commit.
  MapsByServer ServerMaps() const;

  // Runs a query (reading only) and hands each row's columns over as text
  // (NULL as empty text). Throws FileError naming the store.
  void ForEachRow(std::string_view sql,
                  const std::function<void(const std::vector<std::string>&)>& row) const;
  // The same with each row's columns read in place, as they are stored.
  void ForEachStoreRow(std::string_view sql, const std::function<void(const StoreRow&)>& row) const;
  // The store's file, for the failures of its readers.
  const std::filesystem::path& file() const { return file_; }

  // Every row of the views and the sums behind them, in a fixed order, one
  // line each: two stores with equal contents give equal dumps.
  std::string CanonicalDump() const;

 private:
  void Check(Access access);
  void Execute(std::string_view sql) const;

  std::filesystem::path file_;
  std::unique_ptr<sqlite3, int (*)(sqlite3*)> db_;
};

// Applies the store changes of a journal record (StoreChanges::Serialize) to
// the store of `database_dir`. Throws FileError naming the store or the
// journal `journal` when the record is damaged.
void ApplyStoreRecord(const std::filesystem::path& database_dir, std::string_view record,
                      const std::filesystem::path& journal);

// Removes the store and its rollback journal (deleting a database).
void RemoveEventStore(const std::filesystem::path& database_dir);

}  // namespace varnokel
