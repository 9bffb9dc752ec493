// SPDX-License-Identifier: GPL-3.0-or-later
// The folder a report run writes the site into, held open and locked for the
// run: which pages are still the files the last run wrote, and removing the
// pages of players who are gone.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "db/database_lock.h"

namespace varnokel {

// What tells one file of a name from another written under that name later:
// every page is written to a new file that is renamed over the old one (a new
// inode), and a change in place changes the size or the modification time.
struct FileIdentity {
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t modified_ns = 0;  // nanoseconds since 1970
  bool operator==(const FileIdentity&) const = default;
};

// Where a report run writes a site, and whether it waits for another writer
// of the same folder.
struct SiteTarget {
  std::filesystem::path dir;
  LockWait wait = LockWait::kWait;
  std::function<void()> on_wait;  // called once before waiting
  // Runs each write of the site index, which is kept in the database folder:
  // the caller's chance to hold the database meanwhile (empty: runs it as is).
  std::function<void(const std::function<void()>&)> around_index_write = {};
};

// The site folder is held by another writer and the caller would not wait.
class SiteBusy : public std::runtime_error {
 public:
  explicit SiteBusy(const std::filesystem::path& dir);
};

// The modes of what a site writer creates, whatever the umask: every web
// server account can read the site.
inline constexpr std::filesystem::perms kPublishedFolderMode = std::filesystem::perms(0755);
inline constexpr std::filesystem::perms kPublishedFileMode = std::filesystem::perms(0644);

class SiteFolder {
 public:
  // Creates `target.dir` when it is missing (mode 0755 for every folder made;
  // a symbolic link to a folder is used as that folder and stays a link),
  // opens it and takes its lock, waiting as `target.wait` says: two runs
  // writing one site at once would interleave their pages. Throws SiteBusy,
  // or FileError(kCreate) naming the folder when it cannot be made or opened.
  explicit SiteFolder(const SiteTarget& target);
  SiteFolder(const SiteFolder&) = delete;
  SiteFolder& operator=(const SiteFolder&) = delete;
  ~SiteFolder();  // releases the lock

  const std::filesystem::path& path() const { return dir_; }

  // The identity of the regular file `name` in the folder; none when there is
  // no such file or it is something else (a folder, a symbolic link).
  std::optional<FileIdentity> Identity(const std::string& name) const;

  // Removes the temporary files of page writes, and the hidden folders of
  // subfolders written whole, that a killed or failed run left in the folder
  // or in `subfolders` (its own ones): while this folder is held no other
  // run writes into it, so every such file is left over. Returns how many
  // went.
  size_t RemoveLeftoverTemporaries(std::initializer_list<std::string_view> subfolders) const;

  // Makes a fresh hidden folder beside the subfolder `folder` (which is
  // missing), to be renamed into its place whole once written; returns its
  // name in the site folder. Throws FileError(kCreate) naming `folder`.
  std::string MakeUnpublishedFolder(const std::string& folder) const;
  // Renames the hidden folder `unpublished` to `folder`. Throws
  // FileError(kCreate) naming `folder`.
  void Publish(const std::string& unpublished, const std::string& folder) const;
  // Removes the hidden folder `unpublished` and the files in it, as far as
  // it can.
  void RemoveUnpublished(const std::string& unpublished) const;

  // Removes the file `name`; a file that is already gone is fine. Throws
  // FileError(kCreate) naming it when it stays.
  void Remove(const std::string& name) const;

 private:
  std::filesystem::path dir_;
  int fd_ = -1;
};

}  // namespace varnokel
