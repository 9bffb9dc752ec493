// SPDX-License-Identifier: GPL-3.0-or-later
// For a writer that commits over and over (the listener, every second): the
// journal of a commit stays on the disk after its files are written, while a
// thread of its own syncs the file system; the commit returns without
// waiting for that sync, which takes the longer the more anything else on
// the machine wrote (the site's pages), and the journal still repairs every
// file it wrote if the power goes before. The next commit, or the process
// when it rests, waits for the sync and removes the journal; meanwhile the
// process's own holders of the lock leave it alone (Holds) instead of
// completing it again, while any other program completes it (writing the
// same bytes once more).
//
// Only the journal this commit wrote is removed (its trailer, which holds
// the digest of all the rest, is compared); when the sync fails or the
// program ends before, it stays and the next command on the database
// completes it, which writes the same bytes once more.
//
// One thread at a time calls the functions below (the listener's database
// mutex); the sync runs on a thread of its own.
#pragma once

#include <filesystem>
#include <future>
#include <optional>
#include <string>

namespace varnokel {

class JournalRetirement {
 public:
  JournalRetirement() = default;
  JournalRetirement(const JournalRetirement&) = delete;
  JournalRetirement& operator=(const JournalRetirement&) = delete;
  ~JournalRetirement();

  // Called by the commit once every file of the journal of `database_dir`,
  // which ends in `trailer`, is written.
  void Start(const std::filesystem::path& database_dir, std::string trailer);

  // True when a journal waits to be retired.
  bool Waiting() const { return trailer_.has_value(); }

  // True when the journal of `database_dir` is the one waiting here.
  bool Holds(const std::filesystem::path& database_dir) const;

  // Under the database's exclusive lock: waits for the sync, then removes the
  // journal when it is still the one waiting. Throws FileError naming the
  // folder when the sync failed: the journal stays for the next command.
  void Retire(const std::filesystem::path& database_dir);

 private:
  std::optional<std::string> trailer_;  // of the journal waiting
  std::shared_future<void> synced_;
};

}  // namespace varnokel
