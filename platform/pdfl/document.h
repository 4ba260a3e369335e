// Documents: a QPDF object per open document, and the document operations of
// "PDModel" other than the save.
#ifndef PDFL_DOCUMENT_H
#define PDFL_DOCUMENT_H

#include <memory>
#include <string>

#include <qpdf/QPDF.hh>

#include "pdfl/pdfl.h"

struct PDFLDoc {
  std::unique_ptr<QPDF> pdf;
};

namespace pdfl {

// The document of a caller's handle; raises on an unknown handle.
PDFLDoc& DocumentOf(PDDoc doc);
void CloseAllDocuments();

// Reads a PDF with QPDF (recovering a damaged one when asked) and makes sure
// its catalog and pages can be read; throws when it cannot.
std::unique_ptr<QPDF> ReadPdf(const std::string& path, bool repair);

// Whether the document may be changed: not when it is encrypted, was not
// opened with its owner password and forbids modification.
bool MayModify(QPDF& pdf);
// Raises kPDFLErrPermission when the document may not be changed.
void CheckMayModify(QPDF& pdf);

// The trailer's /Info dictionary, made when create is set and there is none;
// a null object otherwise.
QPDFObjectHandle InfoDictionary(QPDF& pdf, bool create);

PDDoc DocOpen(ASPathName path, ASFileSys fileSys, void* authProc, int32_t doRepair);
void DocClose(PDDoc doc);
int32_t DocGetFlags(PDDoc doc);
void DocGetVersion(PDDoc doc, int16_t* major, int16_t* minor);
int32_t DocGetInfo(PDDoc doc, const char* key, char* buffer, int32_t size);
void DocSetInfo(PDDoc doc, const char* key, const char* value, int32_t length);
int16_t DocPermRequest(PDDoc doc, int32_t objectKind, int32_t operation, const void* authData);
ASAtom DocGetTrapped(PDDoc doc);
void DocSetTrapped(PDDoc doc, ASAtom value);

}  // namespace pdfl

#endif
