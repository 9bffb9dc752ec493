#include "base/file_calls.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace varnokel::file_calls {

int Open(const char* path, int flags, mode_t mode) {
  return ::open(path, flags, mode);
}

int Close(int fd) {
  return ::close(fd);
}

ssize_t Write(int fd, const void* data, size_t size) {
  return ::write(fd, data, size);
}

ssize_t PWrite(int fd, const void* data, size_t size, off_t at) {
  return ::pwrite(fd, data, size, at);
}

int Truncate(int fd, off_t size) {
  return ::ftruncate(fd, size);
}

int SyncData(int fd) {
  return ::fdatasync(fd);
}

int SyncFolder(int fd) {
  return ::fsync(fd);
}

int SyncFileSystem(int fd) {
  return ::syncfs(fd);
}

int Rename(const char* from, const char* to) {
  return ::rename(from, to);
}

int Unlink(const char* path) {
  return ::unlink(path);
}

int BeforeWriteOperation() {
  return 0;
}

}  // namespace varnokel::file_calls
