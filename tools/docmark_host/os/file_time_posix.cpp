#include "file_time.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace {

const int64_t kNanoseconds = 1000000000;

}  // namespace

FileCheck ReadModificationTime(const char* path, FileTime& time) {
  struct stat status;
  if (stat(path, &status) != 0)
    return SystemError(errno);
  time.value = status.st_mtim.tv_sec * kNanoseconds + status.st_mtim.tv_nsec;
  return {};
}

FileCheck SetModificationTime(const char* path, const FileTime& time) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = time.value / kNanoseconds;
  times[1].tv_nsec = time.value % kNanoseconds;
  if (utimensat(AT_FDCWD, path, times, 0) != 0)
    return SystemError(errno);
  return {};
}
