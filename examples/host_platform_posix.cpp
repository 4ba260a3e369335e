#include "host_platform.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>

#include "utf8.h"

// Found through the program's run path: build/lib in the build tree, the
// kit's library folder once installed.
const char kDocmarkName[] = "libdocmark.so.7";

void* OpenDocmark(std::string& error) {
  void* library = dlopen(kDocmarkName, RTLD_NOW | RTLD_LOCAL);
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

int FileError(const char* path) {
  struct stat status;
  return stat(path, &status) == 0 ? 0 : errno;
}

int main(int argc, char* argv[]) {
  return HostMain(argc, argv);
}
