#include "file_walk.h"

#include <algorithm>

#include "os/directory.h"

namespace {

bool EndsWithPdf(const std::string& name) {
  if (name.size() < 4)
    return false;
  std::string end = name.substr(name.size() - 4);
  std::transform(end.begin(), end.end(), end.begin(),
                 [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
  return end == ".pdf";
}

std::string Join(const std::string& directory, const std::string& name) {
  bool separated =
      !directory.empty() && (directory.back() == '/' || directory.back() == kPathSeparator);
  return separated ? directory + name : directory + kPathSeparator + name;
}

// Every *.pdf under the directory, in the order of their names, a
// subdirectory's where its name falls; false once stopped.
bool WalkDirectory(const std::string& directory, const FileVisitor& onFile,
                   const ErrorVisitor& onError) {
  std::vector<DirectoryEntry> entries;
  FileCheck error;
  if (!ReadDirectory(directory, entries, error)) {
    onError(directory, error);
    return true;
  }
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  for (const DirectoryEntry& entry : entries) {
    std::string path = Join(directory, entry.name);
    bool going = true;
    if (entry.isDirectory)
      going = WalkDirectory(path, onFile, onError);
    else if (EndsWithPdf(entry.name))
      going = onFile(path);
    if (!going)
      return false;
  }
  return true;
}

}  // namespace

void WalkPaths(const std::vector<std::string>& paths, const FileVisitor& onFile,
               const ErrorVisitor& onError) {
  for (const std::string& path : paths) {
    bool going = IsDirectory(path.c_str()) ? WalkDirectory(path, onFile, onError) : onFile(path);
    if (!going)
      return;
  }
}
