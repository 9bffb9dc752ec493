// SPDX-License-Identifier: GPL-3.0-or-later
// The system calls by which the program changes files, in one place. The
// programs link the plain ones (file_calls.cpp); the tests link
// file_calls_testing.cpp instead, which can fail a write or cut the power at
// any of them (file_calls_testing.h). Each behaves as the system call of the
// same name: -1 and errno on failure.
#pragma once

#include <sys/types.h>

#include <cstddef>

namespace varnokel::file_calls {

int Open(const char* path, int flags, mode_t mode);
int Close(int fd);
ssize_t Write(int fd, const void* data, size_t size);
ssize_t PWrite(int fd, const void* data, size_t size, off_t at);
int Truncate(int fd, off_t size);
int SyncData(int fd);        // fdatasync: the file's bytes and size
int SyncFolder(int fd);      // fsync of an open folder: its names
int SyncFileSystem(int fd);  // syncfs: everything on the file system of `fd`
int Rename(const char* from, const char* to);
int Unlink(const char* path);

// Called once per whole write operation of file_io (a file written, replaced
// or renamed): 0, or the error to fail it with. The programs always go on.
int BeforeWriteOperation();

}  // namespace varnokel::file_calls
