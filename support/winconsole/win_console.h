// Text for a Windows console, handed to the console as UTF-16, which it
// shows whatever its code page; bytes written to it would be shown one
// character each in that code page.
#ifndef SUPPORT_WIN_CONSOLE_H
#define SUPPORT_WIN_CONSOLE_H

#include <windows.h>

#include <algorithm>
#include <string>

namespace winconsole {

// Writes `text` to `handle` when it is a console, and says whether it is:
// false, with nothing written, for a file, a pipe or no handle at all.
inline bool Write(HANDLE handle, const std::wstring& text) {
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || !handle || !GetConsoleMode(handle, &mode))
    return false;
  for (size_t at = 0; at < text.size();) {
    DWORD written = 0;
    DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - at, 16 * 1024));
    if (!WriteConsoleW(handle, text.data() + at, chunk, &written, nullptr) || written == 0)
      break;  // a console gone: nowhere else to write it
    at += written;
  }
  return true;
}

}  // namespace winconsole

#endif
