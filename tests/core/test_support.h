// SPDX-License-Identifier: GPL-3.0-or-later
// Shared helpers of the engine tests: real temporary folders and whole-file
// comparisons.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <string_view>

#include "base/file_io.h"

namespace varnokel::testing {

// A fresh folder, removed with everything in it at the end of the test. In
// memory (/dev/shm) where there is one: the reference run renames a file per
// event, which is slow on some disks.
class TempDir {
 public:
  TempDir() {
    std::filesystem::path base = std::filesystem::temp_directory_path();
    if (::access("/dev/shm", W_OK) == 0) base = "/dev/shm";
    std::random_device random;
    path_ = base / ("varnokel-test-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::filesystem::path& file, std::string_view bytes) {
  std::ofstream out(file, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::filesystem::path& file) {
  return ReadFileBytes(file);
}

// Every regular file of a folder (name -> bytes); folders are listed as "<dir>".
inline std::map<std::string, std::string> FolderContents(const std::filesystem::path& dir) {
  std::map<std::string, std::string> contents;
  for (const std::string& name : ListEntryNames(dir)) {
    std::filesystem::path entry = dir / name;
    contents[name] = std::filesystem::is_directory(entry) ? "<dir>" : ReadFileBytes(entry);
  }
  return contents;
}

// FolderContents of a database folder without the database's own
// bookkeeping (ledger, lock file, journal, event store): its player
// files, and whatever else was put there.
inline std::map<std::string, std::string> DatabaseContents(const std::filesystem::path& dir) {
  // Left out by name before anything is read: a listener at work may remove
  // its journals, and rename its site index's temporary, in between.
  const auto bookkeeping = [](const std::string& name) {
    for (const char* own : {".ledger", ".lock", ".commit", ".commit-pending", "statistik.sqlite",
                            "statistik.sqlite-journal"})
      if (name == own) return true;
    return name.starts_with(".site-") ||
           (name.starts_with("..site-") && IsAtomicWriteTemporary(name));
  };
  std::map<std::string, std::string> contents;
  for (const std::string& name : ListEntryNames(dir)) {
    if (bookkeeping(name)) continue;
    const std::filesystem::path entry = dir / name;
    contents[name] = std::filesystem::is_directory(entry) ? "<dir>" : ReadFileBytes(entry);
  }
  return contents;
}

// "L 03/15/2003 - 20:00:00: " + event, the standard line prefix.
inline std::string LogLine(std::string_view time, std::string_view event,
                           std::string_view date = "03/15/2003") {
  return "L " + std::string(date) + " - " + std::string(time) + ": " + std::string(event);
}

// CR LF between fields, none after the last.
inline std::string Crlf(std::initializer_list<std::string_view> fields, bool terminate_last) {
  std::string bytes;
  size_t i = 0;
  for (std::string_view f : fields) {
    bytes += f;
    if (++i < fields.size() || terminate_last) bytes += "\r\n";
  }
  return bytes;
}

}  // namespace varnokel::testing
