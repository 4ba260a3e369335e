// The directories of a walk.
#ifndef DOCMARK_HOST_OS_DIRECTORY_H
#define DOCMARK_HOST_OS_DIRECTORY_H

#include <string>
#include <vector>

#include "file_check.h"

// The separator a path is joined with.
extern const char kPathSeparator;

// Whether the path names a directory, a link to one included.
bool IsDirectory(const char* path);

struct DirectoryEntry {
  std::string name;
  bool isDirectory;  // one to enter: a link to a directory is not
};

// The directory's entries but "." and "..", in no particular order; false,
// with the reason in `error`, when it cannot be read.
bool ReadDirectory(const std::string& path, std::vector<DirectoryEntry>& entries, FileCheck& error);

#endif
