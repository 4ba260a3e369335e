#include "system.h"

#include <dirent.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "held_output.h"
#include "text.h"
#include "wildcard.h"

namespace platform {

const wchar_t kPathSeparator = L'/';

std::vector<std::wstring> wideArguments(int argc, char* argv[]) {
  std::vector<std::wstring> arguments;
  for (int i = 0; i < argc; ++i)
    arguments.push_back(decodeUtf8(argv[i]));
  return arguments;
}

namespace {

bool isDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

// readdir on the directory part, filtered by the shell's match of the
// pattern part, as the Windows search answers. Only the last component is a
// pattern: '*' and '?' are ordinary characters of POSIX names.
struct DirectorySearch::State {
  DIR* dir = nullptr;
  std::string prefix;  // Directory part with its trailing '/', or empty.
  std::wstring pattern;
  std::wstring error;
};

DirectorySearch::DirectorySearch(const std::wstring& searchPath) : state_(new State) {
  size_t cut = searchPath.rfind(L'/');
  size_t patternStart = cut == std::wstring::npos ? 0 : cut + 1;
  std::wstring directory = searchPath.substr(0, patternStart);
  state_->pattern = searchPath.substr(patternStart);
  if (state_->pattern.empty())
    return;
  state_->prefix = encodeUtf8(directory);
  state_->dir = opendir(state_->prefix.empty() ? "." : state_->prefix.c_str());
  if (!state_->dir && errno != ENOTDIR)
    state_->error = errorText(errno);
}

DirectorySearch::~DirectorySearch() {
  if (state_->dir)
    closedir(state_->dir);
}

bool DirectorySearch::next(DirectoryEntry& entry) {
  if (!state_->dir)
    return false;
  for (;;) {
    errno = 0;
    struct dirent* found = readdir(state_->dir);
    if (!found) {
      if (errno != 0)
        state_->error = errorText(errno);
      return false;
    }
    std::wstring name = decodeUtf8(found->d_name);
    if (!wildcardMatch(name, state_->pattern))
      continue;
    entry.name = name;
    if (found->d_type == DT_DIR) {
      entry.isDirectory = true;
    } else if (found->d_type == DT_LNK || found->d_type == DT_UNKNOWN) {
      entry.isDirectory = isDirectory(state_->prefix + found->d_name);
    } else {
      entry.isDirectory = false;
    }
    return true;
  }
}

const std::wstring& DirectorySearch::error() const {
  return state_->error;
}

bool shellMatch(const std::wstring& name, const std::wstring& patterns) {
  return wildcardMatchList(name, patterns);
}

bool directoryId(const std::wstring& path, DirectoryId& id) {
  struct stat info;
  std::string bytes = path.empty() ? "." : encodeUtf8(path);
  if (stat(bytes.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    return false;
  id.device = info.st_dev;
  id.inode = info.st_ino;
  return true;
}

unsigned long long systemTimeNow() {
  const unsigned long long kSecondsFrom1601To1970 = 11644473600ULL;
  struct timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  return (static_cast<unsigned long long>(now.tv_sec) + kSecondsFrom1601To1970) * 10000000ULL +
         static_cast<unsigned long long>(now.tv_nsec) / 100;
}

// Single quotes keep every byte literal for /bin/sh; a quote inside is
// closed, escaped and reopened.
std::wstring quotePath(const std::wstring& path) {
  std::wstring quoted = L"'";
  for (wchar_t c : path) {
    if (c == L'\'')
      quoted += L"'\\''";
    else
      quoted += c;
  }
  return quoted + L"'";
}

void writeError(const std::wstring& text) {
  std::string bytes = encodeUtf8(text);
  fwrite(bytes.data(), 1, bytes.size(), stderr);
}

bool appendWhole(const std::wstring& path, const std::string& bytes, std::wstring& reason) {
  int fd = open(encodeUtf8(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    reason = decodeUtf8(strerror(errno));
    return false;
  }
  struct stat before;
  int error = fstat(fd, &before) == 0 ? 0 : errno;
  if (error == 0) {
    ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      error = errno;
    } else if (static_cast<size_t>(written) < bytes.size()) {
      // The rest, which the file did not take, tells why (a full device,
      // the file size limit).
      size_t left = bytes.size() - static_cast<size_t>(written);
      ssize_t rest = write(fd, bytes.data() + written, left);
      error = rest < 0 ? errno : static_cast<size_t>(rest) < left ? ENOSPC : 0;
      if (error != 0 && ftruncate(fd, before.st_size) != 0)
        error = errno;
    }
  }
  if (close(fd) != 0 && error == 0)
    error = errno;
  if (error != 0)
    reason = decodeUtf8(strerror(error));
  return error == 0;
}

// Opened without waiting, so that a pipe without a writer is refused, not
// waited for.
bool readWhole(const std::wstring& path, std::string& bytes, std::wstring& reason) {
  bytes.clear();
  int fd = open(encodeUtf8(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT)
    return true;
  if (fd < 0) {
    reason = errorText(errno);
    return false;
  }
  struct stat info;
  int error = fstat(fd, &info) == 0 ? 0 : errno;
  if (error == 0 && !S_ISREG(info.st_mode))
    reason = L"not a regular file";
  char buffer[64 * 1024];
  for (ssize_t n; error == 0 && reason.empty() && (n = read(fd, buffer, sizeof buffer)) != 0;) {
    if (n > 0)
      bytes.append(buffer, static_cast<size_t>(n));
    else if (errno != EINTR)
      error = errno;
  }
  close(fd);  // Only read from: nothing to lose.
  if (error != 0)
    reason = errorText(error);
  return reason.empty();
}

bool truncateFile(const std::wstring& path, unsigned long long size, std::wstring& reason) {
  if (truncate(encodeUtf8(path).c_str(), static_cast<off_t>(size)) == 0)
    return true;
  reason = errorText(errno);
  return false;
}

std::string utf16leBytes(const std::wstring& text) {
  return encodeUtf16le(text);
}

std::wstring errorText(int error) {
  return decodeUtf8(strerror(error));
}

// In TMPDIR, as other programs put theirs; named only until it is open.
std::FILE* temporaryFile() {
  const char* directory = getenv("TMPDIR");
  std::string path = std::string(directory && *directory ? directory : "/tmp") + "/walkexec.XXXXXX";
  int fd = mkostemp(&path[0], O_CLOEXEC);
  if (fd < 0)
    return nullptr;
  unlink(path.c_str());
  std::FILE* file = fdopen(fd, "w+");
  if (!file)
    close(fd);
  return file;
}

int writeStandard(int stream, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(stream, data, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      return errno;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace platform
