// The platform under docmark: the running executable, the native path
// separator, the file probe, the calling thread's table block and the
// debugger line, and the lock of the exports. One implementation per target: host_posix.cpp and
// host_win32.cpp.
#ifndef DOCMARK_HOST_H
#define DOCMARK_HOST_H

#include <cstdint>

#include "pdfl_calls.h"
#include "vtpdf.h"

extern const PathChar kPathSeparator;  // '\\' on Windows, '/' on POSIX

// The full path of the running process's executable (the host program, not
// this library). Returns 0, or the system's error code with `path` empty.
uint32_t GetExecutablePath(PathString& path);

// A search for exactly `path`: true when it finds an entry. The entry's
// 64-bit size goes to *size when size is not null.
bool FindEntry(const PathChar* path, int64_t* size);

// The calling thread's table block, at the index in TableBlockIndex.
TableBlock* CurrentTableBlock();

// Held for the whole of each export call, so that calls from several threads
// run one after the other: the PDF library's table index is one process-wide
// variable that every start rewrites.
class ExportLock {
 public:
  ExportLock();
  ~ExportLock();
  ExportLock(const ExportLock&) = delete;
  ExportLock& operator=(const ExportLock&) = delete;
};

// Formats into a 256-byte buffer and sends the line to the debugger output.
void SendDebugLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

#endif
