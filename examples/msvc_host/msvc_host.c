/* A host as MSVC builds one: compiled by clang-cl for the MSVC ABI, linked by
 * lld-link against docmark.lib, with no C runtime, so that it needs nothing
 * but docmark.h and the few Win32 calls declared here. It tags the file that
 * DOCMARK_TEST_PDF names, reads the tag back and checks it; the exit code is
 * 0 when every call did what it says. Built with /Gz (stdcall by default)
 * too, it still calls the exports as they are built. */
#include "docmark/docmark.h"

__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long handle);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* buffer, unsigned long length,
                                              unsigned long* written, void* overlapped);
__declspec(dllimport) unsigned long __stdcall GetEnvironmentVariableW(const wchar_t* name,
                                                                      wchar_t* value,
                                                                      unsigned long size);
__declspec(dllimport) void __stdcall ExitProcess(unsigned int code);

static void Say(const char* text) {
  unsigned long length = 0, written = 0;
  while (text[length])
    ++length;
  WriteFile(GetStdHandle((unsigned long)-11), text, length, &written, 0);
}

/* 0 when `ok`, else 1 after naming the step. */
static unsigned int Check(bool ok, const char* step) {
  if (ok)
    return 0;
  Say("msvc_host: failed: ");
  Say(step);
  Say("\r\n");
  return 1;
}

void __cdecl HostStart(void) {
  static wchar_t path[32768];
  unsigned int failures = 0;
  PDFSettingsInfo settings = {11, 4242, true, false, true};
  PDFSettingsInfo read = {0};
  PDFVersionInfo version = {0};
  int64_t size = 0;
  if (GetEnvironmentVariableW(L"DOCMARK_TEST_PDF", path, 32768) == 0) {
    Say("msvc_host: DOCMARK_TEST_PDF names no file\r\n");
    ExitProcess(2);
  }
  failures += Check(!VTPDFTagIsAlreadyOptimized(path), "an untagged file reads as untagged");
  failures += Check(VTPDFTagWrite(path, &settings, true), "write");
  failures += Check(VTPDFTagIsAlreadyOptimized(path), "a tagged file reads as tagged");
  failures += Check(VTPDFTagRead(path, &read, &size, &version), "read");
  failures +=
      Check(read.mode == 11 && read.amount == 4242 && read.optionA && !read.optionB && read.optionC,
            "the settings read back");
  failures +=
      Check(version.major == 7 && version.minor == 9 && version.build == 9 && version.writerFlag,
            "the version read back");
  failures += Check(size > 0, "the stored size");
  if (!failures)
    Say("msvc_host: every call did what it says\r\n");
  ExitProcess(failures);
}
