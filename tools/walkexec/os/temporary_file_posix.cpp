#include "temporary_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace os {

// In TMPDIR, as other programs put theirs; named only until it is open.
std::FILE* temporaryFile() {
  const char* directory = getenv("TMPDIR");
  std::string path = std::string(directory && *directory ? directory : "/tmp") + "/walkexec.XXXXXX";
  int fd = mkostemp(&path[0], O_CLOEXEC);
  if (fd < 0)
    return nullptr;
  unlink(path.c_str());
  std::FILE* file = fdopen(fd, "w+");
  if (!file)
    close(fd);
  return file;
}

}  // namespace os
