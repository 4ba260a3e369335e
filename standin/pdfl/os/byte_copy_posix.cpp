#include "byte_copy.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <vector>

namespace pdfl {

void CopyBytes(FILE* from, int64_t offset, int64_t length, FILE* to) {
  if (std::fflush(to) != 0)
    throw std::runtime_error("write failed");
  int in = fileno(from), out = fileno(to);
  off_t at = offset;
  std::vector<char> block;
  while (length > 0) {
    ssize_t copied = copy_file_range(in, &at, out, nullptr, static_cast<size_t>(length), 0);
    if (copied < 0 &&
        (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
      // Where the kernel cannot copy between these files, through a buffer.
      block.resize(1 << 20);
      ssize_t got = pread(in, block.data(), std::min<int64_t>(length, block.size()), at);
      copied = got > 0 && write(out, block.data(), got) == got ? got : -1;
      at += copied > 0 ? copied : 0;
    }
    if (copied <= 0)
      throw std::runtime_error("copy failed");
    length -= copied;
  }
  // The stream writes on from where the copy ended.
  if (fseeko(to, 0, SEEK_END) != 0)
    throw std::runtime_error("seek failed");
}

}  // namespace pdfl
