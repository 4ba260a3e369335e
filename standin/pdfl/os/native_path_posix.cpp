#include "native_path.h"

#include "utf8.h"

namespace pdfl {

bool ToNativePath(const std::u16string& units, NativePath& path) {
  // A host passes each byte of a name that is not UTF-8 as U+DC00 + byte
  // (PEP 383); any other unpaired surrogate names no file.
  if (!utf8::HasByteForm(units))
    return false;
  path = utf8::EncodeLossless(units);
  return true;
}

FILE* OpenForReading(const NativePath& path) {
  return std::fopen(path.c_str(), "rbe");
}

}  // namespace pdfl
