// What the system tells of a file before and after the library has it.
#ifndef DOCMARK_HOST_OS_FILE_CHECK_H
#define DOCMARK_HOST_OS_FILE_CHECK_H

#include <string>

enum class FileState {
  kUsable,
  kSystemError,  // the system refused it: `error` says why
  kNotWritable,
  kFolderNotWritable,  // where a save writes its copy
  kDirectory,
  kNotAFile,  // a pipe or a device, which the library would wait on
};

struct FileCheck {
  FileState state = FileState::kUsable;
  unsigned long error = 0;  // of kSystemError: errno, or the Win32 error
  std::string text;         // the system's words, where it gave some
};

// The system's answer `error` (errno, or the Win32 error), with its words.
FileCheck SystemError(unsigned long error);

// Whether the path names a regular file: cheap, asked before every call.
FileCheck CheckFileKind(const char* path);

// Whether the file can be read, and with `writing` whether a save over it
// would be let through: asked once the library refused the file.
FileCheck CheckFileAccess(const char* path, bool writing);

// The first and the last `length` bytes of the file, or all of a shorter
// one; false when it cannot be read.
bool ReadFileEnds(const char* path, size_t length, std::string& head, std::string& tail);

#endif
