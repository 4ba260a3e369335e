#include "file_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// As the library's save decides it: a rename would replace a file whatever
// its permissions, so one that no one may write is refused too.
bool Writable(const char* path, const struct stat& status) {
  return access(path, W_OK) == 0 && (status.st_mode & 0222) != 0;
}

std::string Folder(const char* path) {
  std::string folder = path;
  size_t slash = folder.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : folder.substr(0, slash);
}

}  // namespace

FileCheck SystemError(unsigned long error) {
  return {FileState::kSystemError, error, strerror(static_cast<int>(error))};
}

FileCheck CheckFileKind(const char* path) {
  struct stat status;
  if (stat(path, &status) != 0)
    return SystemError(errno);
  if (S_ISDIR(status.st_mode))
    return {FileState::kDirectory, 0, strerror(EISDIR)};
  if (!S_ISREG(status.st_mode))
    return {FileState::kNotAFile, 0, ""};
  return {};
}

FileCheck CheckFileAccess(const char* path, bool writing) {
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return SystemError(errno);
  struct stat status;
  int statResult = fstat(fd, &status);
  int statError = errno;
  close(fd);
  if (statResult != 0)
    return SystemError(statError);
  if (!writing)
    return {};
  if (!Writable(path, status))
    return {FileState::kNotWritable, 0, ""};
  if (access(Folder(path).c_str(), W_OK) != 0)
    return {FileState::kFolderNotWritable, 0, ""};
  return {};
}

bool ReadFileEnds(const char* path, size_t length, std::string& head, std::string& tail) {
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return false;
  struct stat status;
  bool read = fstat(fd, &status) == 0;
  off_t size = read ? status.st_size : 0;
  head.resize(std::min<off_t>(size, length));
  tail.resize(size > static_cast<off_t>(length) ? length : 0);
  read =
      read && pread(fd, head.data(), head.size(), 0) == static_cast<ssize_t>(head.size()) &&
      pread(fd, tail.data(), tail.size(), size - tail.size()) == static_cast<ssize_t>(tail.size());
  close(fd);
  return read;
}
