#include "file_check.h"

#include <windows.h>

#include <algorithm>

#include "windows_text.h"

FileCheck SystemError(unsigned long error) {
  return {FileState::kSystemError, error, SystemMessage(error)};
}

FileCheck CheckFileKind(const char* path) {
  DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return SystemError(GetLastError());
  if (attributes & FILE_ATTRIBUTE_DIRECTORY)
    return {FileState::kDirectory, 0, ""};
  if (attributes & FILE_ATTRIBUTE_DEVICE)
    return {FileState::kNotAFile, 0, ""};
  return {};
}

// Opened as a save would need it, sharing everything, so that only another
// program's lock stands in the way.
FileCheck CheckFileAccess(const char* path, bool writing) {
  std::wstring wide = WidePath(path);
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return SystemError(GetLastError());
  CloseHandle(file);
  if (!writing)
    return {};
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    return {FileState::kNotWritable, 0, ""};
  // The save replaces the file, which needs delete access too: a program
  // that holds it open without sharing delete stops it.
  file = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr,
                     OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error == ERROR_ACCESS_DENIED ? FileCheck{FileState::kNotWritable, 0, ""}
                                        : SystemError(error);
  }
  CloseHandle(file);
  return {};
}

bool ReadFileEnds(const char* path, size_t length, std::string& head, std::string& tail) {
  HANDLE file = CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  LARGE_INTEGER size;
  bool read = GetFileSizeEx(file, &size) != 0;
  long long total = read ? size.QuadPart : 0;
  head.resize(static_cast<size_t>(std::min<long long>(total, length)));
  tail.resize(total > static_cast<long long>(length) ? length : 0);
  auto readAt = [&](std::string& part, long long offset) {
    LARGE_INTEGER at;
    at.QuadPart = offset;
    DWORD got = 0;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
           ReadFile(file, part.data(), static_cast<DWORD>(part.size()), &got, nullptr) &&
           got == part.size();
  };
  read = read && readAt(head, 0) && readAt(tail, total - static_cast<long long>(tail.size()));
  CloseHandle(file);
  return read;
}
