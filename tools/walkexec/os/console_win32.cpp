#include "console.h"

#include <windows.h>

#include <cerrno>
#include <cstdio>

#include "win_console.h"

namespace os {

namespace {

std::string utf8Bytes(const std::wstring& text) {
  if (text.empty())
    return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size,
                      nullptr, nullptr);
  return bytes;
}

}  // namespace

// On a console the text goes to the console as it is, which shows every
// character; elsewhere (a file, a pipe) as UTF-8 with CR LF line ends, as a
// text stream writes them. The C runtime's wide stream would stop at the
// first character the C locale cannot convert.
void writeError(const std::wstring& text) {
  std::fflush(stderr);
  if (winconsole::Write(GetStdHandle(STD_ERROR_HANDLE), text))
    return;
  std::string bytes;
  for (char c : utf8Bytes(text)) {
    if (c == '\n')
      bytes += '\r';
    bytes += c;
  }
  writeStandard(2, bytes.data(), bytes.size());
}

// Win32 errors as the C runtime numbers them, for the few a write meets.
int writeStandard(int stream, const char* data, size_t size) {
  HANDLE handle = GetStdHandle(stream == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  if (handle == INVALID_HANDLE_VALUE || !handle)
    return 0;  // No such stream: nothing is shown, as when it is NUL.
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(handle, data, static_cast<DWORD>(size), &written, nullptr)) {
      DWORD error = GetLastError();
      if (error == ERROR_BROKEN_PIPE || error == ERROR_NO_DATA)
        return EPIPE;
      return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL ? ENOSPC : EIO;
    }
    if (written == 0)
      return ENOSPC;
    data += written;
    size -= written;
  }
  return 0;
}

}  // namespace os
