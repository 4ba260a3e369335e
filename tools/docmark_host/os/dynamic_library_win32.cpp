#include "dynamic_library.h"

#include <windows.h>

#include <string_view>

#include "utf8.h"
#include "windows_text.h"

// Beside the program, with DL100PDFL.dll.
const char kDocmarkName[] = "docmark.dll";

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
