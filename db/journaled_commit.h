// SPDX-License-Identifier: GPL-3.0-or-later
// Crash-safe replacement of many files of a database folder at once: either
// every new version is in place or none is, whenever the process dies or the
// power goes.
//
// What is on disk at every moment:
//  1. Journal. The new versions of all files are written into one file,
//     ".commit-pending", which ends in a trailer with their number and a
//     SHA-256 of the rest, and synced; the database's own files are
//     untouched. A process killed now leaves at most that file, which the
//     next command on the database deletes: the change is rolled back.
//  2. Commit point. The journal is renamed to ".commit" and the folder is
//     synced, so the name is on the disk before any file is touched. From
//     then on the change counts as made: the next command writes every file
//     of the journal again (writing the same bytes a second time changes
//     nothing): the change is rolled forward. A journal without its whole
//     trailer was never committed (its writing was cut before the rename
//     reached the disk): it is dropped with a note.
//  3. Apply. Each file is overwritten in place, or created (the event store
//     takes its changes in a transaction of its own, on another thread,
//     skipped when the store holds that commit already); then one sync of
//     the file system puts all of them on the disk (far cheaper than a sync
//     per file), and only then the journal goes. Overwriting keeps the file's
//     inode and blocks, so a commit of thousands of files costs a few
//     milliseconds where replacing each file by a new one costs seconds on
//     some disks. A writer that commits every second leaves the sync and the
//     journal's removal to a thread of its own (JournalRetirement); its next
//     journal, when that sync still runs, carries the files of the last one
//     too, so that its rename over the last one loses nothing.
// Every command that touches a database first calls RecoverDatabase under the
// exclusive lock (DatabaseLock), so no reader ever sees a change half applied.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace varnokel {

class JournalRetirement;
class StagedStoreChanges;

inline constexpr std::string_view kJournalName = ".commit";
inline constexpr std::string_view kPendingJournalName = ".commit-pending";

class JournaledCommit {
 public:
  explicit JournaledCommit(std::filesystem::path database_dir);

  // Adds the new version of database file `name` (a plain name in the folder).
  void Add(std::string_view name, std::string_view bytes);

  // Writes the journal, passes the commit point and applies it. A failure
  // before the commit point leaves the database as it was and throws
  // FileError; one after it throws CommitIncomplete (the next command on the
  // database completes it). `store`, when given, holds the event store's
  // changes of the journal already staged: they are committed with the
  // journal instead of being added from its record. `later`, when given,
  // syncs the file system and removes the journal after Commit returns; a
  // journal of it still waiting for its sync is carried in this one.
  void Commit(StagedStoreChanges* store = nullptr, JournalRetirement* later = nullptr);

  // Seconds Commit spent making the change durable: writing and syncing the
  // journal, syncing the folder and the file system.
  double durable_seconds() const { return durable_seconds_; }

 private:
  // Where a file's name and bytes lie in journal_, which grows.
  struct Place {
    size_t name, name_size, bytes, bytes_size;
  };
  static Place AppendEntry(std::string& journal, std::string_view name, std::string_view bytes);
  void Carry(std::string_view unsynced);
  size_t EndJournal();

  std::filesystem::path dir_;
  std::string journal_;
  std::vector<Place> files_;  // this commit's own
  size_t carried_ = 0;        // files carried from the last commit's journal before them
  double durable_seconds_ = 0;
};

// Thrown when the commit point was passed but not every file could be
// written: the change is made and the next command completes it.
class CommitIncomplete : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// True when `database_dir` holds the journal of an interrupted commit: a
// reader must not look before it is recovered.
bool HasInterruptedCommit(const std::filesystem::path& database_dir);

// True when `database_dir` holds anything an interrupted commit or atomic
// write left behind. Leftover temporary files (hidden, so no listing shows
// them) are only looked for here: that takes a pass over the whole folder.
bool NeedsRecovery(const std::filesystem::path& database_dir);

// Completes an interrupted commit (whole journal present), drops a journal
// that was never committed (pending, or without its whole trailer; the
// latter with a note on stderr), and removes leftover temporary files of
// atomic writes. The caller holds the database's exclusive lock. Throws
// FileError naming the file that could not be written, or the journal when
// it is a symbolic link.
void RecoverDatabase(const std::filesystem::path& database_dir);

}  // namespace varnokel
