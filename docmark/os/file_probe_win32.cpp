#include "file_probe.h"

#include <windows.h>

#include "last_error.h"
#include "win_path.h"

bool FindEntry(const PathChar* path, int64_t* size) {
  lasterror::Keep keep;  // a probe finds nothing that counts as a failure
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(winpath::ForFileCall(path).c_str(), &data);
  if (search == INVALID_HANDLE_VALUE)
    return false;
  FindClose(search);
  if (size)
    *size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}
