#include "host_platform.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

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

namespace {

FileCheck FromErrno(int error) {
  FileState state = FileState::kOther;
  if (error == ENOENT || error == ENOTDIR || error == ELOOP)
    state = FileState::kNotFound;
  else if (error == EACCES || error == EPERM)
    state = FileState::kNotReadable;
  return {state, strerror(error)};
}

// As the library's save decides it: a rename would replace a file whatever
// its permissions, so one that no one may write is refused too.
bool Writable(const char* path, const struct stat& status) {
  return access(path, W_OK) == 0 && (status.st_mode & 0222) != 0;
}

std::string Folder(const char* path) {
  std::string folder = path;
  size_t slash = folder.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : folder.substr(0, slash);
}

}  // namespace

FileCheck CheckFileKind(const char* path) {
  struct stat status;
  if (stat(path, &status) != 0)
    return FromErrno(errno);
  if (S_ISDIR(status.st_mode))
    return {FileState::kDirectory, strerror(EISDIR)};
  if (!S_ISREG(status.st_mode))
    return {FileState::kNotAFile, "not a regular file"};
  return {};
}

FileCheck CheckFileAccess(const char* path, bool writing) {
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return FromErrno(errno);
  struct stat status;
  int statResult = fstat(fd, &status);
  int statError = errno;
  close(fd);
  if (statResult != 0)
    return FromErrno(statError);
  if (!writing)
    return {};
  if (!Writable(path, status))
    return {FileState::kNotWritable, "not writable"};
  if (access(Folder(path).c_str(), W_OK) != 0)
    return {FileState::kNotWritable, "its folder is not writable"};
  return {};
}

bool ReadFileEnds(const char* path, size_t length, std::string& head, std::string& tail) {
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return false;
  struct stat status;
  bool read = fstat(fd, &status) == 0;
  off_t size = read ? status.st_size : 0;
  head.resize(std::min<off_t>(size, length));
  tail.resize(size > static_cast<off_t>(length) ? length : 0);
  read =
      read && pread(fd, head.data(), head.size(), 0) == static_cast<ssize_t>(head.size()) &&
      pread(fd, tail.data(), tail.size(), size - tail.size()) == static_cast<ssize_t>(tail.size());
  close(fd);
  return read;
}

bool IsDirectory(const char* path) {
  struct stat status;
  return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

bool ReadDirectory(const std::string& path, std::vector<DirectoryEntry>& entries,
                   FileCheck& error) {
  DIR* directory = opendir(path.c_str());
  if (!directory) {
    error = FromErrno(errno);
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
    error = FromErrno(errno);
  closedir(directory);
  return read;
}

bool ErrorIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

void WriteText(Stream stream, const std::string& text) {
  FILE* file = stream == Stream::kOut ? stdout : stderr;
  // A closed pipe ends nothing here: the files in hand still finish.
  if (fwrite(text.data(), 1, text.size(), file) == text.size())
    fflush(file);
}

namespace {

const int kStopSignals[] = {SIGINT, SIGTERM};
// Where the handler tells the watching thread: a signal handler has no
// object to reach.
std::atomic<int> stopPipe{-1};

void OnStopSignal(int number) {
  int saved = errno;
  // The next request ends the program the default way.
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  for (int stop : kStopSignals)
    sigaction(stop, &action, nullptr);
  unsigned char byte = static_cast<unsigned char>(number);
  if (write(stopPipe, &byte, 1) != 1) {
    // Nothing to be done in a handler; the watch then sees no request.
  }
  errno = saved;
}

}  // namespace

struct StopRequests::Watch {
  std::function<void()> onStop;
  int pipe[2] = {-1, -1};
  struct sigaction previous[2] = {};
  std::thread thread;
  std::atomic<int> signal{0};
};

StopRequests::StopRequests(std::function<void()> onStop) : watch_(new Watch) {
  Watch& watch = *watch_;
  watch.onStop = std::move(onStop);
  // Without a pipe the signals keep their default action, which a save
  // survives too: the file is as it was or tagged.
  if (pipe2(watch.pipe, O_CLOEXEC) != 0)
    return;
  try {
    watch.thread = std::thread([&watch] {
      unsigned char byte = 0;
      ssize_t length;
      while ((length = read(watch.pipe[0], &byte, 1)) < 0 && errno == EINTR) {
      }
      if (length == 1 && byte != 0) {
        watch.signal = byte;
        watch.onStop();
      }
    });
  } catch (...) {
    close(watch.pipe[0]);
    close(watch.pipe[1]);
    throw;
  }
  stopPipe = watch.pipe[1];
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  action.sa_flags = SA_RESTART;  // the library's reads and writes go on
  sigemptyset(&action.sa_mask);
  for (int i = 0; i < 2; ++i)
    sigaction(kStopSignals[i], &action, &watch.previous[i]);
}

StopRequests::~StopRequests() {
  Watch& watch = *watch_;
  if (watch.pipe[1] < 0)
    return;
  if (watch.signal == 0) {
    for (int i = 0; i < 2; ++i)
      sigaction(kStopSignals[i], &watch.previous[i], nullptr);
  }
  stopPipe = -1;
  unsigned char none = 0;
  if (write(watch.pipe[1], &none, 1) != 1) {
    // The watch has already ended: it saw a request.
  }
  watch.thread.join();
  close(watch.pipe[0]);
  close(watch.pipe[1]);
}

std::string StopRequests::received() const {
  switch (watch_->signal) {
    case 0:
      return "";
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
  }
  return "signal " + std::to_string(watch_->signal);
}

void StopRequests::EndAsRequested() {
  int number = watch_->signal;
  signal(number, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, number);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(number);
  _exit(128 + number);
}

int main(int argc, char* argv[]) {
  return HostMain(argc, argv);
}
