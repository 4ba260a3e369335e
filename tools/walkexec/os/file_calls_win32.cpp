#include "file_calls.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>

#include "win_path.h"

namespace os {
namespace files {

// Binary: no line end is translated.
int open(const std::wstring& path, Access access) {
  int flags = access == Access::kRead     ? _O_RDONLY
              : access == Access::kAppend ? _O_WRONLY | _O_APPEND | _O_CREAT
                                          : _O_WRONLY;
  return _wopen(winpath::ForFileCall(path).c_str(), flags | _O_BINARY | _O_NOINHERIT,
                _S_IREAD | _S_IWRITE);
}

long read(int fd, char* buffer, size_t size) {
  return _read(fd, buffer, static_cast<unsigned>(size < INT_MAX ? size : INT_MAX));
}

long write(int fd, const char* data, size_t size) {
  return _write(fd, data, static_cast<unsigned>(size < INT_MAX ? size : INT_MAX));
}

int close(int fd) {
  return _close(fd);
}

long long size(int fd, bool& regular) {
  struct _stati64 info;
  if (_fstati64(fd, &info) != 0)
    return -1;
  regular = (info.st_mode & _S_IFMT) == _S_IFREG;
  return info.st_size;
}

// _chsize_s returns the error number itself.
int truncate(int fd, long long size) {
  errno = _chsize_s(fd, size);
  return errno == 0 ? 0 : -1;
}

}  // namespace files
}  // namespace os
