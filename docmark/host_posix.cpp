#include "host.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

#include "host_testing.h"
#include "scratch_posix.h"
#include "utf8.h"

const PathChar kPathSeparator = u'/';

namespace {

thread_local std::string lastDebugLine;
pthread_mutex_t libraryMutex = PTHREAD_MUTEX_INITIALIZER;

}  // namespace

LibraryLock::LibraryLock() {
  pthread_mutex_lock(&libraryMutex);
}

LibraryLock::~LibraryLock() {
  pthread_mutex_unlock(&libraryMutex);
}

uint32_t GetExecutablePath(PathString& path) {
  path.clear();
  char buffer[4096];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length <= 0)
    return errno;
  if (static_cast<size_t>(length) == sizeof buffer)
    return ENAMETOOLONG;  // the path may have been cut short
  path = utf8::DecodeLossless<PathString>(std::string(buffer, length));
  return 0;
}

bool FindEntry(const PathChar* path, int64_t* size) {
  struct stat status;
  if (stat(utf8::EncodeLossless(std::basic_string_view<PathChar>(path)).c_str(), &status) != 0)
    return false;
  if (size)
    *size = S_ISDIR(status.st_mode) ? 0 : status.st_size;
  return true;
}

StagingFile::StagingFile(const PathChar* target) : fd_(-1) {
  std::string path = utf8::EncodeLossless(std::basic_string_view<PathChar>(target));
  size_t slash = path.rfind('/');
  std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  fd_ = open(directory.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd_ >= 0) {
    path_ = utf8::DecodeLossless<PathString>("/proc/self/fd/" + std::to_string(fd_));
  } else if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
    // Without O_TMPFILE, a file with a name made from the target's, held
    // while the write runs and removed at its end; what a killed write
    // leaves there, the next write of the target removes.
    std::string name = scratch::NameFor(path, "docmark-tmp");
    fd_ = scratch::Create(name);
    if (fd_ < 0)
      return;
    name_ = name;
    path_ = utf8::DecodeLossless<PathString>(name_);
  }
}

StagingFile::~StagingFile() {
  if (!name_.empty())
    unlink(name_.c_str());
  if (fd_ >= 0)
    close(fd_);
}

int64_t StagingFile::Size() const {
  int64_t size = -1;
  return FindEntry(path_.c_str(), &size) ? size : -1;
}

TableBlock* CurrentTableBlock() {
  return static_cast<TableBlock*>(pthread_getspecific(static_cast<pthread_key_t>(TableBlockIndex)));
}

void SendDebugLine(const char* format, ...) {
  char buffer[256];
  va_list arguments;
  va_start(arguments, format);
  vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  syslog(LOG_DEBUG, "%s", buffer);
  lastDebugLine = buffer;
}

namespace host_testing {

std::string LastDebugLine() {
  return lastDebugLine;
}

void ClearDebugLine() {
  lastDebugLine.clear();
}

}  // namespace host_testing
