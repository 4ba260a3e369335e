#include "last_error.h"

#include <windows.h>

#include <cerrno>
#include <cstdlib>

namespace lasterror {

int Get() {
  return static_cast<int>(GetLastError());
}

void Set(int error) {
  SetLastError(static_cast<DWORD>(error));
}

int OfStdio() {
  // A disk that fills midway takes part of a write: the system reports no
  // failure, and the C runtime says ENOSPC alone.
  if (errno == ENOSPC)
    return ERROR_DISK_FULL;
  return static_cast<int>(_doserrno);
}

}  // namespace lasterror
