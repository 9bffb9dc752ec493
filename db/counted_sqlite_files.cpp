#include "db/counted_sqlite_files.h"

#include <sqlite3.h>

#include <cerrno>
#include <mutex>

#include "base/file_calls.h"
#include "base/file_io.h"

namespace varnokel {

namespace {

constexpr const char* kVfsName = "varnokel-counted";

sqlite3_vfs* g_system = nullptr;  // the VFS every call is passed on to
sqlite3_vfs g_counted{};

// A file of the counted VFS: the system's own file follows it in memory.
struct CountedFile {
  sqlite3_file base;
  sqlite3_file* Real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

CountedFile* Counted(sqlite3_file* file) {
  return reinterpret_cast<CountedFile*>(file);
}

// SQLITE_OK, or the error the fault seam asks this write to fail with.
int Count() {
  const int error = file_calls::BeforeWriteOperation();
  if (error == 0) return SQLITE_OK;
  return error == ENOSPC ? SQLITE_FULL : SQLITE_IOERR_WRITE;
}

int Close(sqlite3_file* f) {
  return Counted(f)->Real()->pMethods->xClose(Counted(f)->Real());
}
int Read(sqlite3_file* f, void* out, int size, sqlite3_int64 at) {
  return Counted(f)->Real()->pMethods->xRead(Counted(f)->Real(), out, size, at);
}
int Write(sqlite3_file* f, const void* in, int size, sqlite3_int64 at) {
  if (const int fault = Count()) return fault;
  return Counted(f)->Real()->pMethods->xWrite(Counted(f)->Real(), in, size, at);
}
int Truncate(sqlite3_file* f, sqlite3_int64 size) {
  if (const int fault = Count()) return fault;
  return Counted(f)->Real()->pMethods->xTruncate(Counted(f)->Real(), size);
}
int Sync(sqlite3_file* f, int flags) {
  if (const int fault = Count()) return fault;
  return Counted(f)->Real()->pMethods->xSync(Counted(f)->Real(), flags);
}
int FileSize(sqlite3_file* f, sqlite3_int64* size) {
  return Counted(f)->Real()->pMethods->xFileSize(Counted(f)->Real(), size);
}
int Lock(sqlite3_file* f, int level) {
  return Counted(f)->Real()->pMethods->xLock(Counted(f)->Real(), level);
}
int Unlock(sqlite3_file* f, int level) {
  return Counted(f)->Real()->pMethods->xUnlock(Counted(f)->Real(), level);
}
int CheckReservedLock(sqlite3_file* f, int* out) {
  return Counted(f)->Real()->pMethods->xCheckReservedLock(Counted(f)->Real(), out);
}
int FileControl(sqlite3_file* f, int op, void* arg) {
  return Counted(f)->Real()->pMethods->xFileControl(Counted(f)->Real(), op, arg);
}
int SectorSize(sqlite3_file* f) {
  return Counted(f)->Real()->pMethods->xSectorSize(Counted(f)->Real());
}
int DeviceCharacteristics(sqlite3_file* f) {
  return Counted(f)->Real()->pMethods->xDeviceCharacteristics(Counted(f)->Real());
}

// Version 1: no shared memory (the store keeps a rollback journal) and no
// memory mapping.
const sqlite3_io_methods kMethods = {
    1,
    Close,
    Read,
    Write,
    Truncate,
    Sync,
    FileSize,
    Lock,
    Unlock,
    CheckReservedLock,
    FileControl,
    SectorSize,
    DeviceCharacteristics,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

int Open(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* out_flags) {
  CountedFile* counted = Counted(file);
  counted->base.pMethods = nullptr;
  const int result = g_system->xOpen(g_system, name, counted->Real(), flags, out_flags);
  if (result == SQLITE_OK) counted->base.pMethods = &kMethods;
  return result;
}

int Delete(sqlite3_vfs*, const char* name, int sync_dir) {
  if (const int fault = Count()) return fault;
  return g_system->xDelete(g_system, name, sync_dir);
}

int Access(sqlite3_vfs*, const char* name, int flags, int* out) {
  return g_system->xAccess(g_system, name, flags, out);
}
int FullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
  return g_system->xFullPathname(g_system, name, size, out);
}
int Randomness(sqlite3_vfs*, int size, char* out) {
  return g_system->xRandomness(g_system, size, out);
}
int Sleep(sqlite3_vfs*, int microseconds) {
  return g_system->xSleep(g_system, microseconds);
}
int CurrentTime(sqlite3_vfs*, double* out) {
  return g_system->xCurrentTime(g_system, out);
}
int GetLastError(sqlite3_vfs*, int size, char* out) {
  return g_system->xGetLastError(g_system, size, out);
}

}  // namespace

const char* CountedSqliteVfs() {
  static std::once_flag registered;
  std::call_once(registered, [] {
    g_system = sqlite3_vfs_find(nullptr);
    g_counted.iVersion = 1;
    g_counted.szOsFile = static_cast<int>(sizeof(CountedFile)) + g_system->szOsFile;
    g_counted.mxPathname = g_system->mxPathname;
    g_counted.zName = kVfsName;
    g_counted.xOpen = Open;
    g_counted.xDelete = Delete;
    g_counted.xAccess = Access;
    g_counted.xFullPathname = FullPathname;
    g_counted.xDlOpen = nullptr;
    g_counted.xDlError = nullptr;
    g_counted.xDlSym = nullptr;
    g_counted.xDlClose = nullptr;
    g_counted.xRandomness = Randomness;
    g_counted.xSleep = Sleep;
    g_counted.xCurrentTime = CurrentTime;
    g_counted.xGetLastError = GetLastError;
    sqlite3_vfs_register(&g_counted, /*makeDflt=*/0);
  });
  return kVfsName;
}

}  // namespace varnokel
