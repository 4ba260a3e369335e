// The cross-reference sections of a file as the copy reads them from its
// bytes: a table with its trailer, or a stream; and the sections of the one
// revision a copy can take.
#ifndef PDFL_COPY_XREF_SECTION_H
#define PDFL_COPY_XREF_SECTION_H

#include <vector>

#include <qpdf/InputSource.hh>
#include <qpdf/QPDF.hh>

#include "copy/dictionary.h"
#include "copy/xref_rows.h"

namespace pdfl {

// An in-use entry of a section: its object's offset, and in a table where
// the offset's ten digits start.
struct XRefEntry {
  qpdf_offset_t offset = 0;
  qpdf_offset_t digitsAt = 0;
};

struct Section {
  bool stream = false;
  Dictionary dictionary;        // the trailer, or the stream's dictionary
  qpdf_offset_t at = 0;         // its first token: "xref", or the stream's "n g obj"
  qpdf_offset_t end = 0;        // just past the trailer's dictionary, or the stream's endobj
  QPDFObjGen object;            // a stream's
  qpdf_offset_t trailerAt = 0;  // a table's: where "trailer" starts
  // The objects it lists at an offset; a stream's once its rows are read.
  std::vector<XRefEntry> entries;
  // A stream's rows, once read.
  bool rowsRead = false;
  XRefRows rows;
};

// The section whose first token is at or after `at` (a reader takes
// startxref's offset with white space before the section).
Section ReadSection(InputSource& in, qpdf_offset_t at, QPDF& pdf);

// Decodes a stream section's rows, once, and the entries they hold.
void ReadStreamRows(QPDF& pdf, Section& section);

// One revision: one section, or the two of a linearized file, with no
// /XRefStm of a hybrid file.
std::vector<Section> ReadRevision(InputSource& in, QPDF& pdf, qpdf_offset_t xrefAt);

// Every section a reader reads, newest first: from startxref's offset on
// through each /Prev and /XRefStm, each once.
std::vector<Section> ReadChain(InputSource& in, QPDF& pdf, qpdf_offset_t xrefAt);

}  // namespace pdfl

#endif
