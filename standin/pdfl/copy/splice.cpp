#include "copy/splice.h"

#include <algorithm>

#include "copy/not_copyable.h"

namespace pdfl {

bool KeepLengths(const std::vector<Splice>& splices) {
  return std::all_of(splices.begin(), splices.end(),
                     [](const Splice& splice) { return LengthOf(splice.bytes) == splice.length; });
}

qpdf_offset_t Moved(const std::vector<Splice>& splices, qpdf_offset_t offset) {
  qpdf_offset_t moved = offset;
  for (const Splice& splice : splices) {
    if (splice.at + splice.length <= offset)
      moved += LengthOf(splice.bytes) - splice.length;
  }
  return moved;
}

}  // namespace pdfl
