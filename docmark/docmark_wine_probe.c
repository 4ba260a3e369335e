/* docmark_wine_probe: a test program for the Windows kits, which
 * docmark_wine_test runs under Wine. It is a host as a plug-in loader is
 * one: it loads docmark.dll by its full path, from wherever the library
 * lies, binds the exports by name and passes each path as it is given.
 *
 *   docmark_wine_probe load WAY DLL    loads DLL one way (plain, altered,
 *                                      dlldir, setdlldir, adddlldir) and prints
 *                                      "from " and DL100PDFL.dll's path, or
 *                                      "error " and the system's code
 *   docmark_wine_probe write|read|check DLL PATH
 *                                      loads DLL as a host in another
 *                                      folder does (altered) and prints
 *                                      "true", or "false " and the thread's
 *                                      last error after the call
 *   docmark_wine_probe short PATH      prints PATH's 8.3 name
 *   docmark_wine_probe hold PATH SHARE holds PATH open, sharing what the
 *                                      letters r, w and d of SHARE say (-
 *                                      for none), prints "held", and lets
 *                                      it go when its input ends
 *
 * Text goes to standard output as UTF-8. Exit status: 0 for "true", "from"
 * and "held", 1 otherwise. */
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include "docmark/docmark.h"

typedef bool(DOCMARK_CALL* CheckCall)(const DocmarkPathChar*);
typedef bool(DOCMARK_CALL* ReadCall)(const DocmarkPathChar*, PDFSettingsInfo*, int64_t*,
                                     PDFVersionInfo*);
typedef bool(DOCMARK_CALL* WriteCall)(const DocmarkPathChar*, const PDFSettingsInfo*, bool);

static wchar_t text[32768];

static int Print(const char* line) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, (DWORD)strlen(line), &written, NULL);
  return 1;
}

static int PrintWide(const char* label, const wchar_t* wide) {
  static char utf8[sizeof text * 2];
  Print(label);
  if (WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, NULL, NULL) > 0)
    Print(utf8);
  return Print("\n");
}

static int PrintCode(const char* label, DWORD code) {
  char line[64];
  snprintf(line, sizeof line, "%s%lu\n", label, (unsigned long)code);
  return Print(line);
}

static HMODULE Load(const wchar_t* way, const wchar_t* dll) {
  if (wcscmp(way, L"altered") == 0)
    return LoadLibraryExW(dll, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (wcscmp(way, L"dlldir") == 0)
    return LoadLibraryExW(dll, NULL,
                          LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  // The library's folder, for the ways that name it.
  wcsncpy(text, dll, sizeof text / sizeof text[0] - 1);
  wchar_t* separator = wcsrchr(text, L'\\');
  if (separator)
    *separator = L'\0';
  if (wcscmp(way, L"adddlldir") == 0) {
    AddDllDirectory(text);
    return LoadLibraryExW(dll, NULL, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
  }
  if (wcscmp(way, L"setdlldir") == 0)
    SetDllDirectoryW(text);
  return LoadLibraryW(dll);
}

static int LoadWay(const wchar_t* way, const wchar_t* dll) {
  HMODULE library = Load(way, dll);
  if (!library)
    return PrintCode("error ", GetLastError());
  HMODULE pdfl = GetModuleHandleW(L"DL100PDFL.dll");
  if (!pdfl || !GetModuleFileNameW(pdfl, text, sizeof text / sizeof text[0]))
    return PrintCode("error ", GetLastError());
  PrintWide("from ", text);
  return 0;
}

static int Call(const wchar_t* call, const wchar_t* dll, const wchar_t* path) {
  HMODULE library = LoadLibraryExW(dll, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!library)
    return PrintCode("error ", GetLastError());
  CheckCall check =
      (CheckCall)(void (*)(void))GetProcAddress(library, "VTPDFTagIsAlreadyOptimized");
  ReadCall read = (ReadCall)(void (*)(void))GetProcAddress(library, "VTPDFTagRead");
  WriteCall write = (WriteCall)(void (*)(void))GetProcAddress(library, "VTPDFTagWrite");
  if (!check || !read || !write)
    return Print("an export did not bind\n");
  PDFSettingsInfo settings = {3, 1200, false, true, false};
  PDFVersionInfo version;
  int64_t size = 0;
  bool result = wcscmp(call, L"write") == 0  ? write(path, &settings, true)
                : wcscmp(call, L"read") == 0 ? read(path, &settings, &size, &version)
                                             : check(path);
  DWORD error = GetLastError();
  if (!result)
    return PrintCode("false ", error);
  Print("true\n");
  return 0;
}

static int Hold(const wchar_t* path, const wchar_t* letters) {
  DWORD share = 0;
  for (const wchar_t* c = letters; *c; ++c)
    share |= *c == L'r'   ? FILE_SHARE_READ
             : *c == L'w' ? FILE_SHARE_WRITE
             : *c == L'd' ? FILE_SHARE_DELETE
                          : 0;
  HANDLE file = CreateFileW(path, GENERIC_READ, share, NULL, OPEN_EXISTING, 0, NULL);
  if (file == INVALID_HANDLE_VALUE)
    return PrintCode("error ", GetLastError());
  Print("held\n");
  char rest[64];
  DWORD got = 0;
  while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), rest, sizeof rest, &got, NULL) && got > 0) {
  }
  CloseHandle(file);
  return 0;
}

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && wcscmp(argv[1], L"short") == 0) {
    if (!GetShortPathNameW(argv[2], text, sizeof text / sizeof text[0]))
      return PrintCode("error ", GetLastError());
    PrintWide("", text);
    return 0;
  }
  if (argc == 4 && wcscmp(argv[1], L"load") == 0)
    return LoadWay(argv[2], argv[3]);
  if (argc == 4 && wcscmp(argv[1], L"hold") == 0)
    return Hold(argv[2], argv[3]);
  if (argc == 4)
    return Call(argv[1], argv[2], argv[3]);
  return Print("usage: docmark_wine_probe load|write|read|check|short|hold ...\n");
}
