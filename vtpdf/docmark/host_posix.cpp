#include "host.h"

#include <pthread.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "host_testing.h"

const PathChar kPathSeparator = u'/';

namespace {

std::string lastDebugLine;

// POSIX file names are bytes. They are taken as UTF-8; a byte that is not
// part of valid UTF-8 maps to U+DC80 + byte, and back, so every name
// round-trips.
void AppendUtf16(PathString& out, uint32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out += static_cast<PathChar>(0xD800 + (c >> 10));
    out += static_cast<PathChar>(0xDC00 + (c & 0x3FF));
  } else {
    out += static_cast<PathChar>(c);
  }
}

PathString DecodeName(const std::string& bytes) {
  PathString out;
  size_t i = 0;
  while (i < bytes.size()) {
    unsigned char lead = bytes[i];
    size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2
                  : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    uint32_t c = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F
                                                                             : lead & 0x07;
    bool valid = length != 0 && i + length <= bytes.size();
    for (size_t k = 1; valid && k < length; ++k) {
      unsigned char next = bytes[i + k];
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if (valid && ((length == 3 && (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF))) ||
                  (length == 4 && (c < 0x10000 || c > 0x10FFFF)))) {
      valid = false;
    }
    if (valid) {
      AppendUtf16(out, c);
      i += length;
    } else {
      out += static_cast<PathChar>(0xDC00 + lead);
      ++i;
    }
  }
  return out;
}

void AppendUtf8(std::string& out, uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string EncodeName(const PathChar* name) {
  std::string out;
  for (const PathChar* p = name; *p; ++p) {
    uint32_t c = *p;
    if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (c >= 0xDC80 && c <= 0xDCFF) {
      out += static_cast<char>(c - 0xDC00);
      continue;
    }
    AppendUtf8(out, c);
  }
  return out;
}

}  // namespace

uint32_t GetExecutablePath(PathString& path) {
  path.clear();
  char buffer[4096];
  ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
  if (length <= 0)
    return errno;
  if (static_cast<size_t>(length) == sizeof buffer)
    return ENAMETOOLONG;  // the path may have been cut short
  path = DecodeName(std::string(buffer, length));
  return 0;
}

bool FindEntry(const PathChar* path, int64_t* size) {
  struct stat status;
  if (stat(EncodeName(path).c_str(), &status) != 0)
    return false;
  if (size)
    *size = S_ISDIR(status.st_mode) ? 0 : status.st_size;
  return true;
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
