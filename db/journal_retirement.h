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
// A commit that comes while that sync still runs does not wait for it: its
// journal carries the files of the waiting one too (TakeUnsynced), so that
// whichever of the two the disk holds after a power cut repairs everything
// written since the last finished sync.
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
#include <string_view>
#include <vector>

namespace varnokel {

class JournalRetirement {
 public:
  JournalRetirement() = default;
  JournalRetirement(const JournalRetirement&) = delete;
  JournalRetirement& operator=(const JournalRetirement&) = delete;
  ~JournalRetirement();

  // Called by the commit once every file of its journal `journal` (all of
  // it, ending in a trailer of `trailer_size` bytes) of `database_dir` is
  // written.
  void Start(const std::filesystem::path& database_dir, std::string journal, size_t trailer_size);

  // Before the next commit, under the exclusive lock. While the sync of the
  // journal waiting still runs (the disk is busy writing back what others
  // wrote), that journal is handed over whole, to be carried in the next
  // one: its rename then replaces this one, and nothing waits for the sync.
  // Otherwise, or when the journal grew beyond kMostCarriedBytes or is no
  // longer this process's, it is retired (Retire) and none is returned.
  std::optional<std::string> TakeUnsynced(const std::filesystem::path& database_dir);

  // True when a journal waits to be retired.
  bool Waiting() const { return journal_.has_value(); }

  // True when the journal of `database_dir` is the one waiting here.
  bool Holds(const std::filesystem::path& database_dir) const;

  // Under the database's exclusive lock: waits for the sync, then removes the
  // journal when it is still the one waiting. Throws FileError naming the
  // folder when the sync failed: the journal stays for the next command.
  void Retire(const std::filesystem::path& database_dir);

 private:
  // Carried on from commit to commit, a journal holds every file written
  // since the last sync that finished; past this size the next commit waits
  // for that sync instead.
  static constexpr size_t kMostCarriedBytes = size_t{64} << 20;

  std::string_view Trailer() const;

  std::optional<std::string> journal_;  // the journal waiting, whole
  size_t trailer_size_ = 0;
  std::shared_future<void> synced_;
  std::vector<std::shared_future<void>> superseded_;  // syncs of journals carried on
};

}  // namespace varnokel
