#include "executable.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "last_error.h"
#include "utf8.h"

uint32_t GetExecutablePath(PathString& path) {
  lasterror::Keep keep;  // the failure is returned, and the library starts without it
  path.clear();
  char buffer[4096];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length <= 0)
    return errno;
  if (static_cast<size_t>(length) == sizeof buffer)
    return ENAMETOOLONG;  // the path may have been cut short
  path = utf8::DecodeLossless<PathString>(std::string(buffer, length));
  return 0;
}
