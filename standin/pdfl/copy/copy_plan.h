// The plan of a full save at the cost of a copy: when the only change to a
// document since it was read is the data of its metadata stream, the new
// file is the old file's bytes with that stream, the cross-reference offsets
// it moves and the trailer's /ID[1] replaced. The result is what a full save
// of the document would mean: one revision, no trace of the old packet.
#ifndef PDFL_COPY_COPY_PLAN_H
#define PDFL_COPY_COPY_PLAN_H

#include <string>
#include <vector>

#include "copy/object_layout.h"
#include "copy/splice.h"
#include "document.h"

namespace pdfl {

struct CopyPlan {
  std::vector<Splice> splices;  // in file order, none overlapping
  std::string packet;           // the metadata stream's new data
  ObjectLayout layout;          // the source's, as the plan read it
  XRefTable entries;            // the source's, as QPDF resolves them

  // Whether every splice keeps its length, so that nothing moves.
  bool KeepsLengths() const { return KeepLengths(splices); }
};

// False when the document cannot be saved by a copy: anything but its
// metadata stream changed, it was repaired or is encrypted, it has more than
// one revision, its metadata stream is filtered, bytes follow its last %%EOF,
// or the stream changes length in a linearized file, or its layout is one the
// plan does not know how to move. Reads the source; what it finds there, and
// QPDF's own errors in reading it, give false. Anything else it throws is a
// fault and goes to the caller.
bool PlanCopy(PDFLDoc& document, bool linearize, CopyPlan& plan);

}  // namespace pdfl

#endif
