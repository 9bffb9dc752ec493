// SPDX-License-Identifier: GPL-3.0-or-later
// The calls of file_calls.h for test builds: each one passes the fault seam
// and the power-loss bookkeeping of file_calls_testing.h, then makes the
// system call.
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "base/file_calls.h"
#include "base/file_calls_testing.h"

namespace varnokel {

namespace {

namespace fs = std::filesystem;

// ---- failing writes ----

long g_write_operations = 0;
std::mutex g_fault_mutex;
std::optional<FileFault> g_fault;

FileFault FaultFromEnvironment() {
  FileFault fault;
  const char* text = std::getenv("VARNOKEL_FILE_FAULT");
  if (text == nullptr) return fault;
  const std::string_view wanted(text);
  auto number_after = [&](std::string_view prefix) -> long {
    return std::strtol(std::string(wanted.substr(prefix.size())).c_str(), nullptr, 10);
  };
  if (wanted.starts_with("kill:")) {
    fault.at = number_after("kill:");
    fault.kill = true;
  } else if (wanted.starts_with("fail:")) {
    fault.at = number_after("fail:");
    fault.error = wanted.ends_with(":EACCES") ? EACCES : wanted.ends_with(":EIO") ? EIO : ENOSPC;
  }
  return fault;
}

// ---- power loss ----

std::string ReadWhole(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// One file of the watched folder, whatever name it has at the moment.
struct Node {
  std::string synced;                   // its bytes on the disk
  std::optional<std::string> unlinked;  // its last bytes once it has no name
};

class PowerLossDisk {
 public:
  explicit PowerLossDisk(fs::path folder) : folder_(std::move(folder)) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_)) {
      if (!entry.is_regular_file()) continue;
      names_[entry.path().filename().string()] = nodes_.size();
      nodes_.push_back({ReadWhole(entry.path()), std::nullopt});
    }
    synced_names_ = names_;
  }

  // The name of `path` in the watched folder, or none; the folder itself is
  // "." .
  std::optional<std::string> NameOf(const char* path) const {
    const fs::path p(path);
    if (p == folder_) return ".";
    if (p.parent_path() == folder_) return p.filename().string();
    return std::nullopt;
  }
  bool IsOff() const { return off_; }
  void CutAfter(long step) { cut_after_ = step; }
  long steps() const { return steps_; }

  // Counts a step that is about to be made.
  void Step() {
    if (++steps_ == cut_after_) cut_now_ = true;
  }
  // After the call of the step: the power goes if this was the last one.
  void AfterStep() {
    if (cut_now_) off_ = true;
  }

  bool Knows(const std::string& name) const { return names_.contains(name); }
  void Opened(int fd, const std::string& name, bool known_before) {
    if (name == ".") {
      folder_fds_.push_back(fd);
      return;
    }
    if (!known_before) {
      // A file made here is empty on the disk; one made by other means
      // (the test's own files) is there as it is.
      const bool made_here = ::access((folder_ / name).c_str(), F_OK) != 0;
      names_[name] = nodes_.size();
      nodes_.push_back({made_here ? std::string() : ReadWhole(folder_ / name), std::nullopt});
    }
    open_files_[fd] = names_.at(name);
  }
  void Closed(int fd) {
    open_files_.erase(fd);
    std::erase(folder_fds_, fd);
  }
  bool IsWatched(int fd) const {
    return open_files_.contains(fd) ||
           std::find(folder_fds_.begin(), folder_fds_.end(), fd) != folder_fds_.end();
  }

  void SyncedFile(int fd) {
    const size_t node = open_files_.at(fd);
    for (const auto& [name, at] : names_)
      if (at == node) nodes_[node].synced = ReadWhole(folder_ / name);
  }
  void SyncedFolder() { synced_names_ = names_; }
  void SyncedAll() {
    for (const auto& [name, node] : names_) nodes_[node].synced = ReadWhole(folder_ / name);
    synced_names_ = names_;
  }
  // Before `name` loses its file (removed or renamed over).
  void Unlinking(const std::string& name) {
    const auto it = names_.find(name);
    if (it == names_.end()) return;
    nodes_[it->second].unlinked = ReadWhole(folder_ / name);
    names_.erase(it);
  }
  // After `from` was renamed to `to` (which Unlinking was told of before).
  void Renamed(const std::string& from, const std::string& to) {
    const auto it = names_.find(from);
    if (it == names_.end()) return;
    const size_t node = it->second;
    names_.erase(it);
    names_[to] = node;
  }

  std::map<std::string, std::string> FolderAfter(power_loss::Leftover leftover) const {
    using power_loss::Leftover;
    std::map<std::string, std::string> folder;
    const auto& names = leftover == Leftover::kUnsyncedNames ? names_ : synced_names_;
    for (const auto& [name, node] : names) {
      folder[name] = leftover == Leftover::kUnsyncedBytes ? BytesNow(node) : nodes_[node].synced;
    }
    return folder;
  }

 private:
  std::string BytesNow(size_t node) const {
    for (const auto& [name, at] : names_)
      if (at == node) return ReadWhole(folder_ / name);
    return nodes_[node].unlinked.value_or(nodes_[node].synced);
  }

  fs::path folder_;
  std::vector<Node> nodes_;
  std::map<std::string, size_t> names_;         // the folder now
  std::map<std::string, size_t> synced_names_;  // the folder on the disk
  std::map<int, size_t> open_files_;
  std::vector<int> folder_fds_;
  long steps_ = 0;
  long cut_after_ = 0;
  bool cut_now_ = false;
  bool off_ = false;
};

std::mutex g_disk_mutex;
std::optional<PowerLossDisk> g_disk;

// Syncs of the whole file system held back (HoldSyncs).
std::mutex g_hold_mutex;
std::condition_variable g_hold_released;
bool g_holding = false;

void WaitWhileHeld() {
  std::unique_lock<std::mutex> lock(g_hold_mutex);
  g_hold_released.wait(lock, [] { return !g_holding; });
}

int PowerOff() {
  errno = EIO;
  return -1;
}

// Runs `call` as a step on a watched file or folder (`watched`), or plainly.
template <typename Call>
auto AsStep(bool watched, Call call) -> decltype(call()) {
  if (!g_disk) return call();
  if (g_disk->IsOff()) return PowerOff();
  if (!watched) return call();
  g_disk->Step();
  const auto result = call();
  g_disk->AfterStep();
  return result;
}

}  // namespace

void SetFileFault(const FileFault& fault) {
  std::lock_guard<std::mutex> lock(g_fault_mutex);
  g_fault = fault;
  g_write_operations = 0;
}

long FileWriteOperationsSoFar() {
  std::lock_guard<std::mutex> lock(g_fault_mutex);
  return g_write_operations;
}

namespace power_loss {

void Watch(const fs::path& folder) {
  std::lock_guard<std::mutex> lock(g_disk_mutex);
  g_disk.emplace(folder);
}

void CutAfter(long step) {
  std::lock_guard<std::mutex> lock(g_disk_mutex);
  g_disk->CutAfter(step);
}

long StepsSoFar() {
  std::lock_guard<std::mutex> lock(g_disk_mutex);
  return g_disk->steps();
}

std::map<std::string, std::string> FolderAfter(Leftover leftover) {
  std::lock_guard<std::mutex> lock(g_disk_mutex);
  return g_disk->FolderAfter(leftover);
}

void Stop() {
  ReleaseSyncs();
  std::lock_guard<std::mutex> lock(g_disk_mutex);
  g_disk.reset();
}

void HoldSyncs() {
  std::lock_guard<std::mutex> lock(g_hold_mutex);
  g_holding = true;
}

void ReleaseSyncs() {
  {
    std::lock_guard<std::mutex> lock(g_hold_mutex);
    g_holding = false;
  }
  g_hold_released.notify_all();
}

}  // namespace power_loss

namespace file_calls {

int Open(const char* path, int flags, mode_t mode) {
  std::lock_guard<std::mutex> lock(g_disk_mutex);
  const std::optional<std::string> name = g_disk ? g_disk->NameOf(path) : std::nullopt;
  if (!name) return AsStep(false, [&] { return ::open(path, flags, mode); });
  const bool known = *name == "." || g_disk->Knows(*name);
  const bool changes = (flags & O_TRUNC) != 0 || (!known && (flags & O_CREAT) != 0);
  const int fd = AsStep(changes, [&] { return ::open(path, flags, mode); });
  if (fd >= 0) g_disk->Opened(fd, *name, known);
  return fd;
}

int Close(int fd) {
  std::lock_guard<std::mutex> lock(g_disk_mutex);
  if (g_disk) g_disk->Closed(fd);
  return ::close(fd);
}

ssize_t Write(int fd, const void* data, size_t size) {
  std::lock_guard<std::mutex> lock(g_disk_mutex);
  return AsStep(g_disk && g_disk->IsWatched(fd), [&] { return ::write(fd, data, size); });
}

ssize_t PWrite(int fd, const void* data, size_t size, off_t at) {
  std::lock_guard<std::mutex> lock(g_disk_mutex);
  return AsStep(g_disk && g_disk->IsWatched(fd), [&] { return ::pwrite(fd, data, size, at); });
}

int Truncate(int fd, off_t size) {
  std::lock_guard<std::mutex> lock(g_disk_mutex);
  return AsStep(g_disk && g_disk->IsWatched(fd), [&] { return ::ftruncate(fd, size); });
}

int SyncData(int fd) {
  std::lock_guard<std::mutex> lock(g_disk_mutex);
  const bool watched = g_disk && g_disk->IsWatched(fd);
  const int result = AsStep(watched, [&] { return ::fdatasync(fd); });
  if (watched && result == 0) g_disk->SyncedFile(fd);
  return result;
}

int SyncFolder(int fd) {
  std::lock_guard<std::mutex> lock(g_disk_mutex);
  const bool watched = g_disk && g_disk->IsWatched(fd);
  const int result = AsStep(watched, [&] { return ::fsync(fd); });
  if (watched && result == 0) g_disk->SyncedFolder();
  return result;
}

int SyncFileSystem(int fd) {
  WaitWhileHeld();
  std::lock_guard<std::mutex> lock(g_disk_mutex);
  const int result = AsStep(g_disk.has_value(), [&] { return ::syncfs(fd); });
  if (g_disk && result == 0) g_disk->SyncedAll();
  return result;
}

int Rename(const char* from, const char* to) {
  std::lock_guard<std::mutex> lock(g_disk_mutex);
  const std::optional<std::string> name = g_disk ? g_disk->NameOf(to) : std::nullopt;
  if (name && !g_disk->IsOff()) g_disk->Unlinking(*name);
  const int result = AsStep(name.has_value(), [&] { return ::rename(from, to); });
  if (name && result == 0) g_disk->Renamed(g_disk->NameOf(from).value_or(""), *name);
  return result;
}

int Unlink(const char* path) {
  std::lock_guard<std::mutex> lock(g_disk_mutex);
  const std::optional<std::string> name = g_disk ? g_disk->NameOf(path) : std::nullopt;
  if (name && !g_disk->IsOff()) g_disk->Unlinking(*name);
  return AsStep(name.has_value(), [&] { return ::unlink(path); });
}

int BeforeWriteOperation() {
  FileFault fault;
  long number = 0;
  {
    std::lock_guard<std::mutex> lock(g_fault_mutex);
    if (!g_fault) g_fault = FaultFromEnvironment();
    fault = *g_fault;
    number = ++g_write_operations;
  }
  if (fault.at == 0 || number != fault.at) return 0;
  if (fault.kill) ::kill(::getpid(), SIGKILL);
  return fault.error;
}

}  // namespace file_calls
}  // namespace varnokel
