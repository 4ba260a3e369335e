#include "byte_copy.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "errors.h"
#include "file_stream_win32.h"

namespace pdfl {

namespace {

// Writes all of `data` to the file, a disk that fills midway taking part of
// a write without a failure: the next part then fails with the system's
// reason, which the raise carries.
void WriteAll(HANDLE file, const char* data, size_t length) {
  while (length > 0) {
    DWORD written = 0;
    if (!WriteFile(file, data, static_cast<DWORD>(length), &written, nullptr))
      FailSystem(kPDFLErrFileWrite);
    if (written == 0)
      FailSystem(kPDFLErrFileWrite, ERROR_DISK_FULL);
    data += written;
    length -= written;
  }
}

}  // namespace

// Written past the stream's buffer, straight to the file, as the POSIX copy
// is.
void CopyBytes(FILE* from, int64_t offset, int64_t length, FILE* to) {
  if (std::fflush(to) != 0)
    FailStdio(kPDFLErrFileWrite);
  std::vector<char> block(1 << 20);
  if (_fseeki64(from, offset, SEEK_SET) != 0)
    throw std::runtime_error("seek failed");
  while (length > 0) {
    size_t want = static_cast<size_t>(std::min<int64_t>(length, block.size()));
    size_t got = std::fread(block.data(), 1, want, from);
    if (got == 0)
      throw std::runtime_error("copy failed");
    WriteAll(HandleOf(to), block.data(), got);
    length -= got;
  }
  // The stream writes on from where the copy ended.
  if (_fseeki64(to, 0, SEEK_END) != 0)
    throw std::runtime_error("seek failed");
}

}  // namespace pdfl
