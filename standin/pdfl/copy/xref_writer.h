// The cross-reference section of a copy whose objects move: the source's
// section again, each offset moved by the splices before it, and the
// objects the copy adds listed at their places in the copy.
#ifndef PDFL_COPY_XREF_WRITER_H
#define PDFL_COPY_XREF_WRITER_H

#include <string>
#include <utility>
#include <vector>

#include <qpdf/InputSource.hh>
#include <qpdf/QPDF.hh>

#include "copy/splice.h"
#include "copy/xref_section.h"

namespace pdfl {

// Objects the copy adds, at their offsets in the copy, and the /Size they
// raise the section's to (0: kept).
struct AddedObjects {
  std::vector<std::pair<QPDFObjGen, qpdf_offset_t>> objects;
  int64_t size = 0;
};

// A stream section written anew, its rows moved and the added objects
// listed, compressed without a predictor, with `identifier` as its /ID[1]
// (none: kept). Its rows must have been read.
std::string MovedXRefStream(QPDF& pdf, const Section& section,
                            const std::vector<Splice>& objectSplices, const AddedObjects& added,
                            const std::string& identifier);

// A table's in-use entries moved in place, and a subsection for each added
// object, as one splice of everything before "trailer".
Splice MovedTable(InputSource& in, const Section& section, const std::vector<Splice>& objectSplices,
                  const AddedObjects& added);

}  // namespace pdfl

#endif
