#include "standard_streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace os {

// From 0 up, so that each open takes the lowest free descriptor: the one
// closed. One that cannot be opened, or moved there, stays closed, as it
// came.
void openClosedStandardStreams() {
  for (int fd = 0; fd < 3; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
      continue;
    int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened >= 0 && opened != fd) {
      dup2(opened, fd);
      close(opened);
    }
  }
}

}  // namespace os
