// Where a top-level object lies in the file: from its "n g obj" through its
// endobj, a stream's through the endobj after the data its /Length gives.
#ifndef PDFL_COPY_OBJECT_EXTENT_H
#define PDFL_COPY_OBJECT_EXTENT_H

#include <cstdint>
#include <vector>

#include <qpdf/InputSource.hh>
#include <qpdf/QPDF.hh>

#include "copy/dictionary.h"
#include "copy/lexer.h"

namespace pdfl {

// "n g obj" at the reader's place.
QPDFObjGen ReadObjectHeader(TokenReader& reader);

// A stream object whose dictionary is read: which object it is, where its
// data starts, how long it is, and where it ends.
struct StreamObject {
  QPDFObjGen object;
  Dictionary dictionary;
  qpdf_offset_t dataAt = 0;
  int64_t length = 0;
  qpdf_offset_t end = 0;
};

// A stream's /Length is resolved in `pdf` when it is a reference.
StreamObject ReadStreamObject(InputSource& in, qpdf_offset_t at, QPDF& pdf);

struct Extent {
  qpdf_offset_t at = 0;
  qpdf_offset_t end = 0;
  QPDFObjGen object;
};

// Reads the object at `at` to its end; each reference it holds outside
// stream data adds its object number to `references`, when given.
Extent ReadExtent(InputSource& in, qpdf_offset_t at, QPDF& pdf, std::vector<int>* references);

}  // namespace pdfl

#endif
