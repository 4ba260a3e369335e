#include "host_platform.h"

#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <string_view>
#include <vector>

#include "utf8.h"

// Beside the program, with DL100PDFL.dll.
const char kDocmarkName[] = "docmark.dll";

void* OpenDocmark(std::string& error) {
  std::wstring path(32768, L'\0');
  path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"docmark.dll";
  HMODULE library = LoadLibraryW(path.c_str());
  if (!library) {
    char reason[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   GetLastError(), 0, reason, sizeof reason, nullptr);
    error = utf8::EncodeLossless(path) + ": " + reason;
  }
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

int FileError(const char* path) {
  struct _stat64 status;
  return _wstat64(LibraryPath(path).c_str(), &status) == 0 ? 0 : errno;
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
