// Writes a copy: the source's bytes with a plan's splices, into a new file,
// or the splices alone over a file that already holds the source's bytes.
#ifndef PDFL_COPY_COPY_WRITER_H
#define PDFL_COPY_COPY_WRITER_H

#include <cstdio>
#include <vector>

#include <qpdf/InputSource.hh>

#include "copy/splice.h"

namespace pdfl {

// Writes the source with the splices to `out`; throws when it cannot.
void WriteCopy(InputSource& source, const std::vector<Splice>& splices, FILE* out);

// Writes splices that keep their lengths into a copy of the source (or the
// source itself), and flushes them; throws when it cannot.
void WriteSplices(const std::vector<Splice>& splices, FILE* file);

// The splices that put back what these overwrite in the source; throws when
// the source cannot be read.
std::vector<Splice> Undo(const std::vector<Splice>& splices, InputSource& source);

}  // namespace pdfl

#endif
