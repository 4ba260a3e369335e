// What the sample host needs of its platform: its entry point, the docmark
// library, the files and directories on its command line, and the console.
// One implementation per target: host_platform_posix.cpp and
// host_platform_win32.cpp.
#ifndef DOCMARK_HOST_PLATFORM_H
#define DOCMARK_HOST_PLATFORM_H

#include <functional>
#include <memory>
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

// What the system tells against handing a file to the library.
enum class FileState {
  kUsable,
  kNotFound,
  kNotReadable,
  kNotWritable,  // the file, or the folder a save writes in
  kDirectory,
  kNotAFile,  // a pipe or a device, which the library would wait on
  kInUse,     // opened without sharing by another program
  kOther,
};

struct FileCheck {
  FileState state = FileState::kUsable;
  std::string text;  // the reason in words, the system's where it gave one
};

// Whether the path names a regular file: cheap, asked before every call.
FileCheck CheckFileKind(const char* path);

// Whether the file can be read, and with `writing` whether a save over it
// would be let through: asked once the library refused the file.
FileCheck CheckFileAccess(const char* path, bool writing);

// The first and the last `length` bytes of the file, or all of a shorter
// one; false when it cannot be read.
bool ReadFileEnds(const char* path, size_t length, std::string& head, std::string& tail);

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
bool ReadDirectory(const std::string& path, std::vector<DirectoryEntry>& entries, FileCheck& error);

// Whether standard error is a terminal, where a progress line can be shown.
bool ErrorIsTerminal();

enum class Stream { kOut, kErr };

// Everything the host prints goes through here, a whole line or more at a
// time, and is flushed at once, so that nothing waits in a buffer when the
// program is stopped.
void WriteText(Stream stream, const std::string& text);

// Requests to stop: SIGINT and SIGTERM on POSIX; Ctrl-C, Ctrl-Break and
// the console's closing on Windows. The first calls `onStop` once, on a
// thread of its own; a second one ends the program at once.
class StopRequests {
 public:
  explicit StopRequests(std::function<void()> onStop);
  ~StopRequests();
  StopRequests(const StopRequests&) = delete;
  StopRequests& operator=(const StopRequests&) = delete;

  // The request's name ("SIGINT"); empty while there was none.
  std::string received() const;
  // Ends the program as the request would have, had nothing caught it.
  [[noreturn]] void EndAsRequested();

  struct Watch;

 private:
  std::unique_ptr<Watch> watch_;
};

#endif
