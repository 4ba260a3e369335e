// Documents: a QPDF object per open document, and the document operations of
// "PDModel" other than the save.
#ifndef PDFL_DOCUMENT_H
#define PDFL_DOCUMENT_H

#include <memory>
#include <string>

#include <exempi/xmp.h>
#include <qpdf/QPDF.hh>

#include "os/native_path.h"
#include "pdfl/pdfl.h"

namespace pdfl {
struct XmpFree {
  void operator()(XmpPtr xmp) const { xmp_free(xmp); }
};
using Xmp = std::unique_ptr<std::remove_pointer_t<XmpPtr>, XmpFree>;
}  // namespace pdfl

struct PDFLDoc {
  // Read with repair: QPDF's warnings tell whether anything was repaired.
  std::unique_ptr<QPDF> pdf;
  // The bytes QPDF reads, which a save may copy, and the file they are from.
  std::shared_ptr<InputSource> source;
  pdfl::NativePath path;
  // Set by any change but the metadata stream's data: such a document is
  // saved by a rewrite, never by a copy.
  bool changedBeyondMetadata = false;
  // A packet stored while the catalog has no metadata stream, which a save
  // adds as a new object.
  bool addsPacket = false;
  std::string addedPacket;
  // The packet, parsed at its first use, and the length a new packet keeps
  // (the stored one's, when that has padding; 0 otherwise).
  pdfl::Xmp xmp;
  size_t paddedLength = 0;
};

namespace pdfl {

// The document of a caller's handle; raises on an unknown handle.
PDFLDoc& DocumentOf(PDDoc doc);
// Closes the documents the calling thread opened.
void CloseThreadDocuments();

// Reads a PDF with QPDF and makes sure its catalog can be read; throws when
// it cannot. With repair, a damaged file is recovered, its catalog found by a
// scan of the file when not even a trailer is left.
void ReadDocument(PDFLDoc& document, const NativePath& path, bool repair);

// Raises when a repaired document's page tree names pages that are not in
// the file, as when a download was cut short: cheap, before a rewrite.
void CheckNoPagesCutOff(PDFLDoc& document);

// Raises unless saving the document keeps every page the file holds: a
// repaired document whose page tree lost pages is not written over its file.
// Call it once the document has been written, when every object was read.
void CheckNoPagesLost(PDFLDoc& document);

// Whether the document may be changed: not when it is encrypted, was not
// opened with its owner password and forbids modification.
bool MayModify(QPDF& pdf);
// Raises kPDFLErrPermission when the document may not be changed.
void CheckMayModify(QPDF& pdf);

// The trailer's /Info dictionary, made when create is set and there is none;
// a null object otherwise.
QPDFObjectHandle InfoDictionary(QPDF& pdf, bool create);

}  // namespace pdfl

#endif
