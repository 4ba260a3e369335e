#include "host_platform.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "utf8.h"

// Beside the program, with DL100PDFL.dll.
const char kDocmarkName[] = "docmark.dll";
const char kPathSeparator = '\\';

namespace {

std::string SystemMessage(DWORD code) {
  char reason[512] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                 reason, sizeof reason, nullptr);
  std::string text = reason;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
    text.pop_back();
  return text;
}

std::wstring Wide(const std::string& path) {
  return utf8::DecodeLossless<std::wstring>(path);
}

}  // namespace

void* OpenDocmark(std::string& error) {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"docmark.dll";
  HMODULE library = LoadLibraryW(path.c_str());
  if (!library)
    error = utf8::EncodeLossless(path) + ": " + SystemMessage(GetLastError());
  return library;
}

void* FindFunction(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseDocmark(void* library) {
  FreeLibrary(static_cast<HMODULE>(library));
}

std::basic_string<DocmarkPathChar> LibraryPath(const char* argument) {
  return utf8::DecodeLossless<std::basic_string<DocmarkPathChar>>(argument);
}

// The C runtime's open, whose reasons read as on POSIX.
std::string FileError(const char* path) {
  int fd = _wopen(Wide(path).c_str(), _O_RDONLY | _O_BINARY);
  if (fd < 0)
    return strerror(errno);
  _close(fd);
  return std::string();
}

bool IsDirectory(const char* path) {
  DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ReadDirectory(const std::string& path, std::vector<DirectoryEntry>& entries,
                   std::string& error) {
  std::wstring pattern = Wide(path);
  if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/')
    pattern += L'\\';
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW((pattern + L"*").c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) {
    error = SystemMessage(GetLastError());
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
    error = SystemMessage(code);
    return false;
  }
  return true;
}

bool ErrorIsTerminal() {
  return _isatty(_fileno(stderr)) != 0;
}

// The arguments come as UTF-16 and go on as UTF-8, which is also what the
// host prints.
int wmain(int argc, wchar_t* argv[]) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i)
    arguments.push_back(utf8::EncodeLossless(std::wstring_view(argv[i])));
  std::vector<char*> pointers;
  for (std::string& argument : arguments)
    pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return HostMain(argc, pointers.data());
}
