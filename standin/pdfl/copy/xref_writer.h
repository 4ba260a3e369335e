// The one cross-reference section of a compacting copy, written anew from
// the objects it keeps: a table, or a stream where the file used streams,
// with the trailer's keys.
#ifndef PDFL_COPY_XREF_WRITER_H
#define PDFL_COPY_XREF_WRITER_H

#include <cstdint>
#include <string>
#include <vector>

#include <qpdf/Types.h>
#include <qpdf/QPDFObjGen.hh>

namespace pdfl {

// An object the section lists: type 1 at an offset with its generation, or
// type 2 in an object stream at an index.
struct XRefRow {
  int number = 0;
  int type = 1;
  uint64_t second = 0;
  uint64_t third = 0;
};

// "xref", its entries and the trailer; the rows in object order, each
// number once, all of type 1. `keys` are the trailer's entries as written.
std::string NewTable(const std::vector<XRefRow>& rows, const std::string& keys);

// The stream object `object`, which lists itself at `at`, with the rows
// and the trailer's keys, compressed.
std::string NewXRefStream(QPDFObjGen object, qpdf_offset_t at, std::vector<XRefRow> rows,
                          const std::string& keys);

}  // namespace pdfl

#endif
