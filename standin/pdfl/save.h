// The full save of a document (PDDocSaveWithParams).
#ifndef PDFL_SAVE_H
#define PDFL_SAVE_H

#include <memory>

#include <qpdf/QPDF.hh>

#include "pdfl/pdfl.h"

namespace pdfl {

// Reads a file a save wrote, as the save does before the file replaces its
// target: without repair, its warnings kept. Throws QPDF's errors.
std::unique_ptr<QPDF> ReadBack(const std::shared_ptr<InputSource>& saved);

// PDDocSaveWithParams writes the whole document to a temporary file beside
// the target, flushes it to disk and renames it over the target, so that the
// target is either the old file or the new one, never a mix. The document
// then reads the new file. A document whose only change is its metadata
// stream is written by copying its file's bytes (copy/copy_plan.h); every other
// through QPDFWriter.

}  // namespace pdfl

#endif
