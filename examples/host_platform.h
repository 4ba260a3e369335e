// What the sample host needs of its platform: its entry point, the docmark
// library, the files and directories on its command line, and the console.
// One implementation per target: host_platform_posix.cpp and
// host_platform_win32.cpp.
#ifndef DOCMARK_HOST_PLATFORM_H
#define DOCMARK_HOST_PLATFORM_H

#include <string>
#include <vector>

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

// Empty when the file exists and can be read, or why not.
std::string FileError(const char* path);

// Whether the path names a directory, a link to one included.
bool IsDirectory(const char* path);

// The separator a path is joined with.
extern const char kPathSeparator;

struct DirectoryEntry {
  std::string name;
  bool isDirectory;  // one to enter: a link to a directory is not
};

// The directory's entries but "." and "..", in no particular order; false,
// with the reason in `error`, when it cannot be read.
bool ReadDirectory(const std::string& path, std::vector<DirectoryEntry>& entries,
                   std::string& error);

// Whether standard error is a terminal, where a progress line can be shown.
bool ErrorIsTerminal();

#endif
