#include "dynamic_library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

const char kDocmarkName[] = "libdocmark.so.7";

namespace {

// In the library folder relative to this program's folder (build/lib in the
// build tree, the kit's library folder once installed), named in full: the
// name alone is searched for on the run path of whoever calls dlopen, which
// is not this program when a sanitizer or a preloaded library stands in
// between.
std::string BesideTheProgram() {
  char buffer[PATH_MAX];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  std::string program = length > 0 ? std::string(buffer, length) : "./docmark_host";
  return program.substr(0, program.rfind('/')) + "/" DOCMARK_LIBRARY_DIR "/" + kDocmarkName;
}

void* Open(const std::string& path, std::string& error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!library)
    error += (error.empty() ? "" : "; ") + std::string(dlerror());
  return library;
}

}  // namespace

void* OpenDocmark(std::string& error) {
  // A library named on purpose is that one or none.
  const char* named = getenv("DOCMARK_LIBRARY");
  if (named && *named)
    return Open(named, error);
  void* library = Open(kDocmarkName, error);
  if (!library)
    library = Open(BesideTheProgram(), error);
  if (library)
    error.clear();
  return library;
}

void* FindFunction(void* library, const char* name) {
  return dlsym(library, name);
}

void CloseDocmark(void* library) {
  dlclose(library);
}
