#include "debug_line.h"

#include <shlwapi.h>
#include <windows.h>

#include <cstdarg>

#include "last_error.h"

void SendDebugLine(const char* format, ...) {
  lasterror::Keep keep;
  char buffer[256];
  va_list arguments;
  va_start(arguments, format);
  wvnsprintfA(buffer, sizeof buffer, format, arguments);  // cut short rather than overrun
  va_end(arguments);
  OutputDebugStringA(buffer);
}
