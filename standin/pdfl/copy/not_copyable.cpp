#include "copy/not_copyable.h"

#include <climits>
#include <cstdint>

#include "copy/pdf_syntax.h"

namespace pdfl {

void Require(bool condition) {
  if (!condition)
    throw NotCopyable();
}

int64_t ParseInteger(std::string_view text) {
  int64_t value = 0;
  Require(ToInteger(text, value));
  return value;
}

size_t Bytes(int64_t value) {
  Require(value >= 0 && static_cast<uint64_t>(value) <= SIZE_MAX);
  return static_cast<size_t>(value);
}

int ObjectNumber(int64_t value) {
  Require(value >= 0 && value <= INT32_MAX);
  return static_cast<int>(value);
}

qpdf_offset_t LengthOf(const std::string& bytes) {
  return static_cast<qpdf_offset_t>(bytes.size());
}

}  // namespace pdfl
