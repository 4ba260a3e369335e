// A copy as the source's bytes with some ranges replaced: each splice puts
// its bytes in the place of `length` bytes of the source at `at`.
#ifndef PDFL_COPY_SPLICE_H
#define PDFL_COPY_SPLICE_H

#include <string>
#include <vector>

#include <qpdf/Types.h>

namespace pdfl {

struct Splice {
  qpdf_offset_t at;
  qpdf_offset_t length;
  std::string bytes;
};

// Whether every splice keeps its length, so that nothing moves.
bool KeepLengths(const std::vector<Splice>& splices);

// Sorts splices by place, an insertion before what follows it at the same
// place; throws NotCopyable when two overlap.
void SortSplices(std::vector<Splice>& splices);

// Where a byte of the source that no splice replaces lands in the copy: it
// moves by what every splice before it adds or takes away. An insertion at
// the byte's own offset (length 0) lands before it, and so counts. The
// splices must be sorted.
class OffsetMap {
 public:
  explicit OffsetMap(const std::vector<Splice>& splices);
  qpdf_offset_t operator()(qpdf_offset_t offset) const;

 private:
  std::vector<qpdf_offset_t> ends_;   // each splice's end in the source
  std::vector<qpdf_offset_t> moves_;  // what the splices through it add
};

}  // namespace pdfl

#endif
