#include "standard_streams.h"

#include <windows.h>

namespace os {

// Inheritable, so that the commands get it as their own. One that cannot be
// opened stays missing, as it came.
void openClosedStandardStreams() {
  const DWORD streams[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  for (DWORD stream : streams) {
    HANDLE handle = GetStdHandle(stream);
    if (handle && handle != INVALID_HANDLE_VALUE)
      continue;
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE null =
        CreateFileW(L"NUL", stream == STD_INPUT_HANDLE ? GENERIC_READ : GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0, nullptr);
    if (null != INVALID_HANDLE_VALUE && !SetStdHandle(stream, null))
      CloseHandle(null);
  }
}

}  // namespace os
