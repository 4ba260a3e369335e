// The files of the paths on the command line: a file as it is named, a
// directory as every *.pdf below it.
#ifndef DOCMARK_HOST_FILE_WALK_H
#define DOCMARK_HOST_FILE_WALK_H

#include <functional>
#include <string>
#include <vector>

#include "os/file_check.h"

// Takes each file; false stops the walk.
using FileVisitor = std::function<bool(const std::string& path)>;
// Takes each directory that cannot be read.
using ErrorVisitor = std::function<void(const std::string& directory, const FileCheck& error)>;

// Each path, in order: a directory's files named *.pdf in any case, in the
// order of their names, a subdirectory's where its name falls; any other
// path as the file it names.
void WalkPaths(const std::vector<std::string>& paths, const FileVisitor& onFile,
               const ErrorVisitor& onError);

#endif
