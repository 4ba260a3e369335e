// The platform under docmark: the running executable, the native path
// separator, the file probe, the calling thread's table block, the debugger
// line, and the lock of the library's start and end. One implementation per
// target: host_posix.cpp and host_win32.cpp.
#ifndef DOCMARK_HOST_H
#define DOCMARK_HOST_H

#include <cstdint>
#include <string>

#include "pdfl_calls.h"
#include "vtpdf.h"

extern const PathChar kPathSeparator;  // '\\' on Windows, '/' on POSIX

// The full path of the running process's executable (the host program, not
// this library). Returns 0, or the system's error code with `path` empty.
uint32_t GetExecutablePath(PathString& path);

// A search for exactly `path`: true when it finds an entry. The entry's
// 64-bit size goes to *size when size is not null.
bool FindEntry(const PathChar* path, int64_t* size);

// A scratch file in the target's directory that holds a write's first pass
// until the second pass has made the final file from it, so that the target
// changes by one rename or not at all. On POSIX it has no name (its path is
// the descriptor's, under /proc/self/fd), so a kill leaves nothing behind, or,
// where the file system cannot make such a file, the name ".NAME.docmark-tmp"
// beside the target, which the next write of the target removes if a kill
// left it. On Windows its name is ".NAME.PROCESS-SERIAL.docmark-tmp" beside
// the target, marked temporary; it is deleted when the object goes, and what
// a killed write left there the next write of the target removes.
class StagingFile {
 public:
  explicit StagingFile(const PathChar* target);
  ~StagingFile();
  StagingFile(const StagingFile&) = delete;
  StagingFile& operator=(const StagingFile&) = delete;

  // Empty when no file could be made.
  const PathString& path() const { return path_; }
  // The size of what the library saved there; -1 when it cannot be read.
  int64_t Size() const;

 private:
  PathString path_;
#ifndef _WIN32
  int fd_;            // held open: its lock tells other writers this one runs
  std::string name_;  // where the system cannot make a file without a name
#endif
};

// The calling thread's table block, at the index in TableBlockIndex.
TableBlock* CurrentTableBlock();

// Held while the PDF library starts or ends on the calling thread. A start
// hands the library the resource folders of the whole process and an end
// releases what the thread used, so no two of them overlap; the work between
// them runs on every calling thread at once.
class LibraryLock {
 public:
  LibraryLock();
  ~LibraryLock();
  LibraryLock(const LibraryLock&) = delete;
  LibraryLock& operator=(const LibraryLock&) = delete;
};

// Formats into a 256-byte buffer and sends the line to the debugger output
// (on POSIX the test seam keeps the calling thread's last line).
void SendDebugLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

#endif
