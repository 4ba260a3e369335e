#include "host.h"

#include <shlwapi.h>
#include <windows.h>

#include <cstdarg>

const PathChar kPathSeparator = L'\\';

enum { kModulePathLength = 520 };

namespace {

SRWLOCK libraryLock = SRWLOCK_INIT;

}  // namespace

LibraryLock::LibraryLock() {
  AcquireSRWLockExclusive(&libraryLock);
}

LibraryLock::~LibraryLock() {
  ReleaseSRWLockExclusive(&libraryLock);
}

uint32_t GetExecutablePath(PathString& path) {
  path.clear();
  wchar_t buffer[kModulePathLength];
  DWORD length = GetModuleFileNameW(NULL, buffer, kModulePathLength);
  if (length == 0)
    return GetLastError();
  if (length == kModulePathLength)
    return ERROR_INSUFFICIENT_BUFFER;  // cut short: not the executable's path
  path.assign(buffer, length);
  return 0;
}

bool FindEntry(const PathChar* path, int64_t* size) {
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(path, &data);
  if (search == INVALID_HANDLE_VALUE)
    return false;
  FindClose(search);
  if (size)
    *size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

StagingFile::StagingFile(const PathChar* target) {
  PathString directory = target;
  size_t separator = directory.find_last_of(L"\\/");
  directory = separator == PathString::npos ? L"." : directory.substr(0, separator);
  wchar_t name[MAX_PATH];
  if (GetTempFileNameW(directory.c_str(), L"dmk", 0, name))
    path_ = name;
}

StagingFile::~StagingFile() {
  if (!path_.empty())
    DeleteFileW(path_.c_str());
}

int64_t StagingFile::Size() const {
  int64_t size = 0;
  return FindEntry(path_.c_str(), &size) ? size : -1;
}

TableBlock* CurrentTableBlock() {
  return static_cast<TableBlock*>(TlsGetValue(TableBlockIndex));
}

void SendDebugLine(const char* format, ...) {
  char buffer[256];
  va_list arguments;
  va_start(arguments, format);
  wvnsprintfA(buffer, sizeof buffer, format, arguments);  // cut short rather than overrun
  va_end(arguments);
  OutputDebugStringA(buffer);
}
