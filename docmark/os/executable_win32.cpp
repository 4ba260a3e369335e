#include "executable.h"

#include <windows.h>

#include "last_error.h"

uint32_t GetExecutablePath(PathString& path) {
  lasterror::Keep keep;  // the failure is returned, and the library starts without it
  path.clear();
  // A path cut short fills the buffer: try again with twice the room, up to
  // the longest path there is.
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(NULL, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (length == 0)
      return GetLastError();
    if (length < buffer.size()) {
      path.assign(buffer, 0, length);
      return 0;
    }
    if (buffer.size() >= 32768)
      return ERROR_INSUFFICIENT_BUFFER;
    buffer.resize(buffer.size() * 2);
  }
}
