#include "file_time.h"

#include <windows.h>

#include "windows_text.h"

FileCheck ReadModificationTime(const char* path, FileTime& time) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data))
    return SystemError(GetLastError());
  time.value = (static_cast<int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
               data.ftLastWriteTime.dwLowDateTime;
  return {};
}

FileCheck SetModificationTime(const char* path, const FileTime& time) {
  HANDLE file = CreateFileW(WidePath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return SystemError(GetLastError());
  FILETIME written;
  written.dwLowDateTime = static_cast<DWORD>(time.value);
  written.dwHighDateTime = static_cast<DWORD>(time.value >> 32);
  bool set = SetFileTime(file, nullptr, nullptr, &written) != 0;
  DWORD error = GetLastError();
  CloseHandle(file);
  return set ? FileCheck{} : SystemError(error);
}
