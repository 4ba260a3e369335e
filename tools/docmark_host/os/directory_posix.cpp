#include "directory.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>

const char kPathSeparator = '/';

bool IsDirectory(const char* path) {
  struct stat status;
  return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

bool ReadDirectory(const std::string& path, std::vector<DirectoryEntry>& entries,
                   FileCheck& error) {
  DIR* directory = opendir(path.c_str());
  if (!directory) {
    error = SystemError(errno);
    return false;
  }
  // readdir tells an error from the end only by errno, which an lstat
  // below may have set.
  for (dirent* entry; errno = 0, (entry = readdir(directory)) != nullptr;) {
    std::string name = entry->d_name;
    if (name == "." || name == "..")
      continue;
    bool isDirectory = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN) {
      struct stat status;
      isDirectory = lstat((path + "/" + name).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
    }
    entries.push_back({name, isDirectory});
  }
  bool read = errno == 0;
  if (!read)
    error = SystemError(errno);
  closedir(directory);
  return read;
}
