#include "file_calls.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "text.h"

namespace os {
namespace files {

int open(const std::wstring& path, Access access) {
  int flags = access == Access::kRead     ? O_RDONLY | O_NONBLOCK
              : access == Access::kAppend ? O_WRONLY | O_APPEND | O_CREAT
                                          : O_WRONLY;
  return ::open(encodeUtf8(path).c_str(), flags | O_CLOEXEC, 0666);
}

long read(int fd, char* buffer, size_t size) {
  return ::read(fd, buffer, size);
}

long write(int fd, const char* data, size_t size) {
  return ::write(fd, data, size);
}

int close(int fd) {
  return ::close(fd);
}

long long size(int fd, bool& regular) {
  struct stat info;
  if (fstat(fd, &info) != 0)
    return -1;
  regular = S_ISREG(info.st_mode);
  return info.st_size;
}

int truncate(int fd, long long size) {
  return ftruncate(fd, static_cast<off_t>(size));
}

}  // namespace files
}  // namespace os
