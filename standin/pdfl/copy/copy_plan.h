// The plan of a full save at the cost of a copy, for a document whose only
// change since it was read is its packet. Each object the file's final
// cross-reference lists keeps its bytes, number and generation, so that
// encrypted bytes stay valid; the result is what a full save of the document
// would mean: one revision, no trace of the old packet.
//   In place: when the packet keeps its stored length in the one revision
//   (or the two sections of a linearized file), the new file is the old one
//   with the packet's data and each /ID[1] replaced, and nothing moves.
//   Compacting: otherwise, the header and each current object as its bytes
//   in the source, in file order, the packet's stream written anew (stored
//   unfiltered), and one new cross-reference section with the last
//   revision's trailer keys. What only earlier revisions hold is gone.
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
  // Objects the compacting copy leaves out (cross-reference streams and
  // linearization dictionaries that no reference names) and adds (a new
  // packet's stream, a cross-reference stream).
  std::vector<QPDFObjGen> dropped;
  std::vector<QPDFObjGen> added;
  // Object streams written anew, with the current objects they held alone.
  std::vector<int> rewritten;

  // Whether every splice keeps its length, so that nothing moves.
  bool KeepsLengths() const { return KeepLengths(splices); }
};

// False when the document cannot be saved by a copy: anything but its packet
// changed, it was repaired, it asks for linearization that a copy would not
// keep, its encryption is one the copy cannot write, or its layout is one the
// plan does not know how to copy. Reads the source; what it finds there,
// and QPDF's own errors in reading it, give false. Anything else it throws is
// a fault and goes to the caller.
bool PlanCopy(PDFLDoc& document, bool linearize, CopyPlan& plan);

// The plans of each kind; each throws NotCopyable where it does not apply.
void PlanInPlace(PDFLDoc& document, CopyPlan& plan);
void PlanCompaction(PDFLDoc& document, CopyPlan& plan);

}  // namespace pdfl

#endif
