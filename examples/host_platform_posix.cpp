#include "host_platform.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "utf8.h"

const char kDocmarkName[] = "libdocmark.so.7";
const char kPathSeparator = '/';

// In the library folder relative to this program's folder (build/lib in the
// build tree, the kit's library folder once installed), named in full: a
// name alone would be searched for on the run path of whoever calls dlopen,
// which is not this program when a sanitizer or a preloaded library stands
// in between.
std::string DocmarkPath() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string program = length > 0 ? std::string(buffer, length) : "./docmark_host";
  return program.substr(0, program.rfind('/')) + "/" DOCMARK_LIBRARY_DIR "/" + kDocmarkName;
}

void* OpenDocmark(std::string& error) {
  void* library = dlopen(DocmarkPath().c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library)
    error = dlerror();
  return library;
}

void* FindFunction(void* library, const char* name) {
  return dlsym(library, name);
}

void CloseDocmark(void* library) {
  dlclose(library);
}

// Names that are not UTF-8 still reach the library intact.
std::basic_string<DocmarkPathChar> LibraryPath(const char* argument) {
  return utf8::DecodeLossless<std::basic_string<DocmarkPathChar>>(argument);
}

std::string FileError(const char* path) {
  // Non-blocking, so that a pipe that has the name of a PDF is not waited on.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return strerror(errno);
  close(fd);
  return std::string();
}

bool IsDirectory(const char* path) {
  struct stat status;
  return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

bool ReadDirectory(const std::string& path, std::vector<DirectoryEntry>& entries,
                   std::string& error) {
  DIR* directory = opendir(path.c_str());
  if (!directory) {
    error = strerror(errno);
    return false;
  }
  errno = 0;
  while (dirent* entry = readdir(directory)) {
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
    error = strerror(errno);
  closedir(directory);
  return read;
}

bool ErrorIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

int main(int argc, char* argv[]) {
  return HostMain(argc, argv);
}
