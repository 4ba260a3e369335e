#include "file_probe.h"

#include <sys/stat.h>

#include <string_view>

#include "utf8.h"

bool FindEntry(const PathChar* path, int64_t* size) {
  struct stat status;
  if (stat(utf8::EncodeLossless(std::basic_string_view<PathChar>(path)).c_str(), &status) != 0)
    return false;
  if (size)
    *size = S_ISDIR(status.st_mode) ? 0 : status.st_size;
  return true;
}
