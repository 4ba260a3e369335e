#include "copy/splice.h"

#include <algorithm>

#include "copy/not_copyable.h"

namespace pdfl {

bool KeepLengths(const std::vector<Splice>& splices) {
  return std::all_of(splices.begin(), splices.end(),
                     [](const Splice& splice) { return LengthOf(splice.bytes) == splice.length; });
}

void SortSplices(std::vector<Splice>& splices) {
  std::stable_sort(splices.begin(), splices.end(),
                   [](const Splice& a, const Splice& b) { return a.at < b.at; });
  for (size_t i = 1; i < splices.size(); ++i)
    Require(splices[i - 1].at + splices[i - 1].length <= splices[i].at);
}

OffsetMap::OffsetMap(const std::vector<Splice>& splices) {
  qpdf_offset_t moved = 0;
  for (const Splice& splice : splices) {
    moved += LengthOf(splice.bytes) - splice.length;
    ends_.push_back(splice.at + splice.length);
    moves_.push_back(moved);
  }
}

qpdf_offset_t OffsetMap::operator()(qpdf_offset_t offset) const {
  size_t before =
      static_cast<size_t>(std::upper_bound(ends_.begin(), ends_.end(), offset) - ends_.begin());
  return before == 0 ? offset : offset + moves_[before - 1];
}

}  // namespace pdfl
