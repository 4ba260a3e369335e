// The C runtime's descriptor calls on a file named by a wide path, under
// one name on every system, so that the rules of whole-file reads and
// appends are written once. Each returns what its POSIX namesake returns
// and sets errno as it does.
#ifndef WALKEXEC_OS_FILE_CALLS_H
#define WALKEXEC_OS_FILE_CALLS_H

#include <cstddef>
#include <string>

namespace os {
namespace files {

enum class Access {
  kRead,    // Without waiting: a pipe without a writer opens at once.
  kAppend,  // Created when missing.
  kWrite,
};

// Not inherited by the commands.
int open(const std::wstring& path, Access access);
long read(int fd, char* buffer, size_t size);
long write(int fd, const char* data, size_t size);
int close(int fd);

// The file's size, -1 when it cannot be had; `regular` says whether it is
// a regular file.
long long size(int fd, bool& regular);
int truncate(int fd, long long size);

}  // namespace files
}  // namespace os

#endif
