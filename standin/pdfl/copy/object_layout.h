// Where the objects a copy keeps lie, as its plan and its proof need it: the
// extent of every object listed at an offset, and which numbers the file's
// references name.
#ifndef PDFL_COPY_OBJECT_LAYOUT_H
#define PDFL_COPY_OBJECT_LAYOUT_H

#include <map>
#include <vector>

#include <qpdf/InputSource.hh>
#include <qpdf/QPDF.hh>

#include "copy/object_extent.h"
#include "copy/object_streams.h"

namespace pdfl {

struct ObjectLayout {
  // Each object listed at an offset, and each section kept in place (a
  // table with its trailer is object 0), in file order.
  std::vector<Extent> extents;
  std::vector<qpdf_offset_t> sections;  // where each section kept in place starts
  // Every number a reference names, in object bodies, trailers and object
  // streams, sorted, each once; read only when asked for.
  std::vector<int> references;
  bool referencesRead = false;
  // The object streams that also hold objects of earlier revisions, with
  // the members that are current; read with the references.
  std::map<int, Members> staleStreams;

  bool Names(int number) const;
};

// What the layout reads: the offsets where objects start (each must hold
// the header of the object `entries` take from there, if any), and whether
// to read references, object streams decoded.
struct LayoutRequest {
  std::vector<qpdf_offset_t> starts;
  bool references = false;
};

// `entries` are the file's objects as QPDF resolves them.
ObjectLayout ReadObjectLayout(InputSource& in, QPDF& pdf, LayoutRequest request,
                              const XRefTable& entries);

// Adds the references of a dictionary the copy keeps, when they are read.
void AddReferences(ObjectLayout& layout, const Dictionary& dictionary);

// Adds a section kept in place to the layout, and its dictionary's
// references when they are read.
void AddSection(ObjectLayout& layout, const Extent& extent, const Dictionary& dictionary);

}  // namespace pdfl

#endif
