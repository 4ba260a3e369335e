#include "directory.h"

#include <windows.h>

#include <string_view>

#include "utf8.h"
#include "win_path.h"
#include "windows_text.h"

const char kPathSeparator = '\\';

bool IsDirectory(const char* path) {
  DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadDirectory(const std::string& path, std::vector<DirectoryEntry>& entries,
                   FileCheck& error) {
  std::wstring pattern = utf8::DecodeLossless<std::wstring>(path);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/')
    pattern += L'\\';
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(winpath::ForFileCall(pattern + L"*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) {
    error = SystemError(GetLastError());
    return false;
  }
  do {
    std::string name = utf8::EncodeLossless(std::wstring_view(data.cFileName));
    if (name == "." || name == "..")
      continue;
    // A directory link or junction is not entered, as on POSIX.
    bool isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                       !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    entries.push_back({name, isDirectory});
  } while (FindNextFileW(search, &data));
  DWORD code = GetLastError();
  FindClose(search);
  if (code != ERROR_NO_MORE_FILES) {
    error = SystemError(code);
    return false;
  }
  return true;
}
