// A file's modification time, kept across a write that replaces the file.
#ifndef DOCMARK_HOST_OS_FILE_TIME_H
#define DOCMARK_HOST_OS_FILE_TIME_H

#include <cstdint>

#include "file_check.h"

// A moment as the system keeps it for a file.
struct FileTime {
  int64_t value = 0;
};

// The file's modification time; a FileState::kSystemError check when the
// system cannot tell it.
FileCheck ReadModificationTime(const char* path, FileTime& time);

// Sets the file's modification time, leaving its other times alone.
FileCheck SetModificationTime(const char* path, const FileTime& time);

#endif
