#include "last_error.h"

#include <cerrno>

namespace lasterror {

int Get() {
  return errno;
}

void Set(int error) {
  errno = error;
}

int OfStdio() {
  return errno;
}

}  // namespace lasterror
