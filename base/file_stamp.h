// SPDX-License-Identifier: GPL-3.0-or-later
// What a file or folder looks like from outside (device, inode, size, times
// of its last change): equal stamps taken at two moments say that nobody
// wrote, created, renamed or removed anything in it meanwhile, up to the
// tick of the file system's clock.
#pragma once

#include <sys/types.h>

#include <ctime>
#include <filesystem>

namespace varnokel {

struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;  // 0: the path was not there
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  // The stamp of `path` itself (a link is not followed).
  static FileStamp Of(const std::filesystem::path& path);
  bool operator==(const FileStamp& other) const;
};

}  // namespace varnokel
