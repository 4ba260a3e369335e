#include "file_probe.h"

#include <sys/stat.h>

#include <string_view>

#include "last_error.h"
#include "utf8.h"

bool FindEntry(const PathChar* path, int64_t* size) {
  lasterror::Keep keep;  // a probe finds nothing that counts as a failure
  struct stat status;
  if (stat(utf8::EncodeLossless(std::basic_string_view<PathChar>(path)).c_str(), &status) != 0)
    return false;
  if (size)
    *size = S_ISDIR(status.st_mode) ? 0 : status.st_size;
  return true;
}
