#include "byte_copy.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

namespace pdfl {

void CopyBytes(FILE* from, int64_t offset, int64_t length, FILE* to) {
  std::vector<char> block(1 << 20);
  if (_fseeki64(from, offset, SEEK_SET) != 0)
    throw std::runtime_error("seek failed");
  while (length > 0) {
    size_t want = static_cast<size_t>(std::min<int64_t>(length, block.size()));
    size_t got = std::fread(block.data(), 1, want, from);
    if (got == 0 || std::fwrite(block.data(), 1, got, to) != got)
      throw std::runtime_error("copy failed");
    length -= got;
  }
}

}  // namespace pdfl
