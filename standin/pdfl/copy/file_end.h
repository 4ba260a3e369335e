// The end of a file as a reader finds it: the last startxref, the offset of
// the last cross-reference section, and %%EOF with nothing after it but
// white space.
#ifndef PDFL_COPY_FILE_END_H
#define PDFL_COPY_FILE_END_H

#include <qpdf/InputSource.hh>

namespace pdfl {

struct FileEnd {
  qpdf_offset_t size = 0;
  qpdf_offset_t keywordAt = 0;  // "startxref"
  qpdf_offset_t digitsAt = 0;   // the section's offset, as written
  qpdf_offset_t digitsLength = 0;
  qpdf_offset_t xrefAt = 0;
};

FileEnd ReadFileEnd(InputSource& in);

}  // namespace pdfl

#endif
