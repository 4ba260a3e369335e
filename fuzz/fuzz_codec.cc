// The lossless codec: any bytes decode to text that encodes back to the same
// bytes, through UTF-16 and through UTF-32.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::u16string narrow = utf8::DecodeLossless<std::u16string>(bytes);
  std::u32string wide = utf8::DecodeLossless<std::u32string>(bytes);
  if (!utf8::HasByteForm(narrow) || utf8::EncodeLossless(narrow) != bytes ||
      utf8::EncodeLossless(wide) != bytes)
    std::abort();
  return 0;
}
