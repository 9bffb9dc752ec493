// SPDX-License-Identifier: GPL-3.0-or-later
// What the tests can do to the calls that change files (file_calls.h); only
// test builds have these, the programs are linked without them.
#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace varnokel {

// Failing writes, or a process that dies while writing: the write operations
// of file_io (a file written, replaced or renamed) are counted from 1, and
// operation number `at` fails with `error` (ENOSPC, EACCES, EIO ...) or,
// with `kill`, the process kills itself with SIGKILL before doing it. Off
// unless set by SetFileFault or, for a child process, by the environment
// variable VARNOKEL_FILE_FAULT ("fail:N:ENOSPC", "fail:N:EIO",
// "fail:N:EACCES" or "kill:N").
struct FileFault {
  long at = 0;  // 0: no fault
  int error = 0;
  bool kill = false;
};
void SetFileFault(const FileFault& fault);  // also restarts the count
long FileWriteOperationsSoFar();

// A simulated power loss in one folder. The disk keeps a file's bytes only
// once they are synced (fdatasync, syncfs) and the folder's names only once
// the folder is synced (fsync of the folder, syncfs); everything else may be
// lost. Every call that creates, writes, syncs, renames or removes a file of
// the folder is a step; after the step the power is cut at, every such call
// anywhere fails with EIO and changes nothing.
namespace power_loss {

// Starts counting steps in `folder`; what it holds now is on the disk.
void Watch(const std::filesystem::path& folder);
void CutAfter(long step);  // 0: never
long StepsSoFar();
// What the disk may hold after the cut: only what was synced, or with the
// unsynced bytes of the synced names, or with the unsynced names and only
// the synced bytes (a new file that was never synced is empty).
enum class Leftover { kSyncedOnly, kUnsyncedBytes, kUnsyncedNames };
std::map<std::string, std::string> FolderAfter(Leftover leftover);
void Stop();  // the power is back; nothing is watched, no sync held
// A disk slow to write back what others wrote: every sync of the whole file
// system waits until ReleaseSyncs (or Stop).
void HoldSyncs();
void ReleaseSyncs();

}  // namespace power_loss
}  // namespace varnokel
