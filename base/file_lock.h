// SPDX-License-Identifier: GPL-3.0-or-later
// Advisory locks on a lock file, released by the system when the process
// ends in any way (flock), so a killed process never leaves a database locked.
#pragma once

#include <filesystem>

namespace varnokel {

class FileLock {
 public:
  enum class Mode { kShared, kExclusive };

  // Opens (creating it when missing) the lock file; takes no lock yet.
  // Throws FileError(kCreate) naming it when it cannot be opened.
  explicit FileLock(const std::filesystem::path& lock_file);
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

  // Takes the lock in `mode` if nobody holds a conflicting one; false if
  // somebody does. A held lock changes its mode (not atomically: another
  // process may take the lock in between).
  bool TryLock(Mode mode);
  // Waits until the lock can be taken in `mode`.
  void Lock(Mode mode);
  void Unlock();

  const std::filesystem::path& file() const { return file_; }

 private:
  std::filesystem::path file_;
  int fd_ = -1;
};

}  // namespace varnokel
