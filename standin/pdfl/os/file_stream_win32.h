// C streams over Win32 file handles, for the Windows sources of this layer.
#ifndef PDFL_OS_FILE_STREAM_WIN32_H
#define PDFL_OS_FILE_STREAM_WIN32_H

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace pdfl {

// Every share mode, so that a save can replace a file that a document still
// reads, and a document can read a file a save is writing.
inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A C stream over a handle; the handle is closed on failure.
inline FILE* StreamOf(HANDLE handle, int flags, const char* mode) {
  if (handle == INVALID_HANDLE_VALUE)
    return nullptr;
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FILE* stream = _fdopen(fd, mode);
  if (!stream)
    _close(fd);
  return stream;
}

inline HANDLE HandleOf(FILE* stream) {
  return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

}  // namespace pdfl

#endif
