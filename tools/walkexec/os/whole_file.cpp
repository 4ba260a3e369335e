#include "whole_file.h"

#include <cerrno>

#include "error_text.h"
#include "file_calls.h"

namespace os {

namespace {

// Closes the file, keeping the first error: a close can tell a write lost.
bool closeKeeping(int fd, int& error, std::wstring& reason) {
  if (files::close(fd) != 0 && error == 0)
    error = errno;
  if (error != 0)
    reason = errorText(error);
  return error == 0;
}

// Writes all the bytes, or says why not: the rest of a short write, which
// the file did not take, tells why (a full device, the file size limit).
int writeAll(int fd, const std::string& bytes) {
  long written = files::write(fd, bytes.data(), bytes.size());
  if (written < 0)
    return errno;
  size_t left = bytes.size() - static_cast<size_t>(written);
  if (left == 0)
    return 0;
  long rest = files::write(fd, bytes.data() + written, left);
  return rest < 0 ? errno : static_cast<size_t>(rest) < left ? ENOSPC : 0;
}

}  // namespace

bool appendWhole(const std::wstring& path, const std::string& bytes, std::wstring& reason) {
  int fd = files::open(path, files::Access::kAppend);
  if (fd < 0) {
    reason = errorText(errno);
    return false;
  }
  bool regular = false;
  long long before = files::size(fd, regular);
  int error = before < 0 ? errno : writeAll(fd, bytes);
  if (error != 0 && before >= 0 && files::truncate(fd, before) != 0)
    error = errno;
  return closeKeeping(fd, error, reason);
}

// A pipe or a device may never end: only a regular file is read.
bool readWhole(const std::wstring& path, std::string& bytes, std::wstring& reason) {
  bytes.clear();
  int fd = files::open(path, files::Access::kRead);
  if (fd < 0 && errno == ENOENT)
    return true;
  if (fd < 0) {
    reason = errorText(errno);
    return false;
  }
  bool regular = false;
  int error = files::size(fd, regular) < 0 ? errno : 0;
  if (error == 0 && !regular)
    reason = L"not a regular file";
  char buffer[64 * 1024];
  for (long n; error == 0 && reason.empty() && (n = files::read(fd, buffer, sizeof buffer)) != 0;) {
    if (n > 0)
      bytes.append(buffer, static_cast<size_t>(n));
    else if (errno != EINTR)
      error = errno;
  }
  files::close(fd);  // Only read from: nothing to lose.
  if (error != 0)
    reason = errorText(error);
  return reason.empty();
}

bool truncateFile(const std::wstring& path, unsigned long long size, std::wstring& reason) {
  int fd = files::open(path, files::Access::kWrite);
  if (fd < 0) {
    reason = errorText(errno);
    return false;
  }
  int error = files::truncate(fd, static_cast<long long>(size)) == 0 ? 0 : errno;
  return closeKeeping(fd, error, reason);
}

}  // namespace os
