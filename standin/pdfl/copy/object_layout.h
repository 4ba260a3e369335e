// Where the objects of a revision lie, as the copy's plan and its proof need
// it: the extent of every object its sections list at an offset, and which
// numbers its references name.
#ifndef PDFL_COPY_OBJECT_LAYOUT_H
#define PDFL_COPY_OBJECT_LAYOUT_H

#include <map>
#include <vector>

#include <qpdf/InputSource.hh>
#include <qpdf/QPDF.hh>

#include "copy/object_extent.h"
#include "copy/xref_section.h"

namespace pdfl {

using XRefTable = std::map<QPDFObjGen, QPDFXRefEntry>;

struct ObjectLayout {
  // Each object a section lists at an offset, and each section itself (a
  // table with its trailer, object 0), in file order.
  std::vector<Extent> extents;
  std::vector<qpdf_offset_t> sections;  // where each section starts
  // The numbers from the smallest /Size up that references in object
  // bodies, trailers and object streams name, sorted, each once; read only
  // when asked for.
  std::vector<int> references;
  bool referencesRead = false;

  bool Names(int number) const;
};

// Reads every object the sections list at an offset to its end, each at
// the header of the object QPDF takes from there, and, when
// `references` is set, every reference outside stream data, object streams
// decoded. `entries` are the sections as QPDF resolves them.
ObjectLayout ReadObjectLayout(InputSource& in, QPDF& pdf, std::vector<Section>& sections,
                              const XRefTable& entries, bool references);

}  // namespace pdfl

#endif
