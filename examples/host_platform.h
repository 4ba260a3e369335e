// What the sample host needs of its platform: its entry point, the docmark
// library, and the files on its command line. One implementation per target:
// host_platform_posix.cpp and host_platform_win32.cpp.
#ifndef DOCMARK_HOST_PLATFORM_H
#define DOCMARK_HOST_PLATFORM_H

#include <string>

#include "docmark/docmark.h"

// The host itself, on its arguments as UTF-8 (on POSIX the bytes they are).
int HostMain(int argc, char* argv[]);

// The library's file name, for messages.
extern const char kDocmarkName[];

// Loads docmark; null, with the reason in `error`, when it cannot.
void* OpenDocmark(std::string& error);
void* FindFunction(void* library, const char* name);
void CloseDocmark(void* library);

// The path of an argument as the library takes it.
std::basic_string<DocmarkPathChar> LibraryPath(const char* argument);

// 0 when the file exists, or the errno value that tells why not.
int FileError(const char* path);

#endif
