#include "dynamic_library.h"

#include <windows.h>

#include <cstdlib>
#include <string_view>

#include "utf8.h"
#include "win_path.h"
#include "windows_text.h"

// Beside the program, with DL100PDFL.dll.
const char kDocmarkName[] = "docmark.dll";

void* OpenDocmark(std::string& error) {
  // A library named on purpose is that one or none; DL100PDFL.dll is then
  // looked for beside it.
  const wchar_t* named = _wgetenv(L"DOCMARK_LIBRARY");
  std::wstring path = named && *named ? winpath::Full(named) : L"docmark.dll";
  // By name, the loader looks in this program's folder first.
  HMODULE library = named && *named
                        ? LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)
                        : LoadLibraryW(path.c_str());
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
