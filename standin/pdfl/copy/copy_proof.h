// The proof a copy must pass before it takes its target's place. It checks
// the new file as a reader would read it, independently of how the copy was
// planned: QPDF's reading of its cross-reference must give every object of
// the source, each top-level object at its own "n g obj" header where the
// plan's splices put its bytes and each object of an object stream in the
// same stream at the same index, and no other object but those the plan
// adds or leaves out, which no reference may name; the
// trailer must be the source's but for /ID[1] and what a new cross-reference
// changes; and the catalog must be the source's with the new packet as its
// /Metadata. Only object headers are read, through the copy's block cache.
// Of the source it takes what the plan read of its bytes: the changed byte
// ranges must lie in the objects the copy may change, no object may lie in
// another's bytes.
#ifndef PDFL_COPY_COPY_PROOF_H
#define PDFL_COPY_COPY_PROOF_H

#include <qpdf/InputSource.hh>
#include <qpdf/QPDF.hh>

#include "copy/copy_plan.h"

namespace pdfl {

// True when `copy`, read from `copyBytes`, is what the source reads as with
// the plan's packet as its metadata stream's data. Throws QPDF's errors when
// the copy cannot be read at all.
bool ProveCopy(QPDF& source, QPDF& copy, InputSource& copyBytes, const CopyPlan& plan);

}  // namespace pdfl

#endif
