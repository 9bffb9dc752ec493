// SPDX-License-Identifier: GPL-3.0-or-later
// The event store's part of a commit, added on a thread of its own while
// the commit's journal is written: the store's transaction is filled before
// the journal's commit point and made durable after it, so the store's rows
// cost the commit only what the journal's writing does not hide.
//
// Safe at every step: before Commit() the store's transaction stays open,
// and a program that ends then leaves the store as it was (SQLite rolls an
// open transaction back); the journal, once committed, carries the same
// changes and the store's commit number keeps them from being added twice.
#pragma once

#include <filesystem>
#include <future>
#include <thread>

#include "db/store_changes.h"

namespace varnokel {

class StagedStoreChanges {
 public:
  // Starts adding `record` (kept by the caller until this is destroyed) to
  // the store of `database_dir`; the caller holds the write lock.
  StagedStoreChanges(const std::filesystem::path& database_dir, const StoreRecord& record);
  // Takes the changes out again unless Commit() was called; waits for the
  // thread.
  ~StagedStoreChanges();
  StagedStoreChanges(const StagedStoreChanges&) = delete;
  StagedStoreChanges& operator=(const StagedStoreChanges&) = delete;

  // Waits until the changes are in the open transaction. Throws the store's
  // FileError when they could not be added (the transaction is gone then).
  void WaitStaged();
  // Makes the changes durable, meanwhile the caller goes on; FinishCommit
  // waits for it and throws the store's FileError when it failed.
  void StartCommit();
  void FinishCommit();

 private:
  void Run(const std::filesystem::path& database_dir, const StoreRecord& record);

  std::promise<void> staged_, done_;
  std::promise<bool> commit_;  // true: commit, false: roll back
  std::future<void> staged_result_, done_result_;
  std::future<bool> decision_;
  bool decided_ = false;
  std::thread thread_;
};

}  // namespace varnokel
