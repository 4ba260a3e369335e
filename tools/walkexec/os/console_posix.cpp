#include "console.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "text.h"

namespace os {

// Through stdio, which orders it with the rest of what we write there.
void writeError(const std::wstring& text) {
  std::string bytes = encodeUtf8(text);
  fwrite(bytes.data(), 1, bytes.size(), stderr);
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

}  // namespace os
