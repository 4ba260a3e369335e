#include "document.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string_view>
#include <vector>

#include <qpdf/QPDFExc.hh>

#include "atoms.h"
#include "catalog_search.h"
#include "errors.h"
#include "file_input.h"
#include "handles.h"
#include "hooks.h"
#include "operations.h"
#include "paths.h"

namespace pdfl {

namespace {

Handles<PDFLDoc>& Documents() {
  static Handles<PDFLDoc> documents;
  return documents;
}

// A key of the document information, given without its slash.
std::string InfoKey(const char* key) {
  if (!key || !*key || *key == '/')
    Fail(kPDFLErrBadParameter);
  return std::string("/") + key;
}

// An entry of the document information, or a null object.
QPDFObjectHandle InfoEntry(QPDF& pdf, const std::string& name) {
  QPDFObjectHandle info = InfoDictionary(pdf, false);
  return info.isDictionary() ? info.getKey(name) : QPDFObjectHandle::newNull();
}

std::unique_ptr<QPDF> NewPdf(bool repair) {
  auto pdf = std::make_unique<QPDF>();
  pdf->setSuppressWarnings(true);
  pdf->setAttemptRecovery(repair);
  return pdf;
}

// Whether "%PDF-" is in the first 1024 bytes, where readers look for it.
bool HasHeader(InputSource& input) {
  char head[1024];
  input.seek(0, SEEK_SET);
  size_t got = input.read(head, sizeof head);
  return std::string_view(head, got).find("%PDF-") != std::string_view::npos;
}

// The file read again with a trailer that names its catalog after its end,
// for QPDF's own recovery to find; null when the file has no catalog.
std::unique_ptr<QPDF> ReadWithFoundCatalog(PDFLDoc& document, FileInput& input) {
  std::string catalog = FindCatalog(input);
  if (catalog.empty())
    return nullptr;
  input.Extend("\ntrailer\n<< /Root " + catalog + " >>\n");
  auto pdf = NewPdf(true);
  pdf->processInputSource(document.source);
  // A saved file's trailer gets its /Size only where the old one had one. The
  // highest number comes from the cross-reference table: QPDF's object count
  // would read every object first.
  std::map<QPDFObjGen, QPDFXRefEntry> table = pdf->getXRefTable();
  int highest = table.empty() ? 0 : table.rbegin()->first.getObj();
  pdf->getTrailer().replaceKey("/Size", QPDFObjectHandle::newInteger(highest + 1));
  return pdf;
}

}  // namespace

PDFLDoc& DocumentOf(PDDoc doc) {
  return Documents().Get(doc);
}

void CloseThreadDocuments() {
  Documents().ClearThread();
}

void ReadDocument(PDFLDoc& document, const NativePath& path, bool repair) {
  auto pdf = NewPdf(repair);
  document.path = path;
  // Opened here, not by QPDF: on Windows as the UTF-16 it is, and shared so
  // that a save can replace the file while the document reads it.
  FILE* file = OpenForReading(path);
  if (!file)
    FailSystem(kPDFLErrFileOpen);
  auto input = std::make_shared<FileInput>("document", file);
  document.source = input;
  // Without its header a file is no PDF, and no repair reads on.
  if (!HasHeader(*input))
    Fail(kPDFLErrBadPDF);
  try {
    pdf->processInputSource(document.source);
  } catch (const QPDFExc& e) {
    if (!repair || e.getErrorCode() != qpdf_e_damaged_pdf)
      throw;
    auto recovered = ReadWithFoundCatalog(document, *input);
    if (!recovered)
      throw;
    pdf = std::move(recovered);
  }
  if (!pdf->getRoot().isDictionary())
    Fail(kPDFLErrBadPDF);
  document.pdf = std::move(pdf);
}

namespace {

// Whether a node of the page tree names a kid that is no dictionary: a page
// that the damage cut off from the file reads as null there. Walked with a
// stack of its own, since a damaged tree may be deep, and each node once.
bool PageTreeHasHoles(QPDF& pdf) {
  std::vector<QPDFObjectHandle> nodes{pdf.getRoot().getKey("/Pages")};
  std::set<QPDFObjGen> seen;
  while (!nodes.empty()) {
    QPDFObjectHandle node = nodes.back();
    nodes.pop_back();
    if (!node.isDictionary())
      return true;
    if (node.isIndirect() && !seen.insert(node.getObjGen()).second)
      continue;
    QPDFObjectHandle kids = node.getKey("/Kids");
    if (kids.isArray()) {
      for (const QPDFObjectHandle& kid : kids.aitems())
        nodes.push_back(kid);
    }
  }
  return false;
}

}  // namespace

void CheckNoPagesCutOff(PDFLDoc& document) {
  if (document.pdf->anyWarnings() && PageTreeHasHoles(*document.pdf))
    Fail(kPDFLErrBadPDF);
}

void CheckNoPagesLost(PDFLDoc& document) {
  QPDF& pdf = *document.pdf;
  // Every repair leaves a warning, those of objects QPDF repairs only when it
  // reaches them too.
  if (!pdf.anyWarnings())
    return;
  CheckNoPagesCutOff(document);
  size_t pages = pdf.getAllPages().size();
  // Once the cross-reference table is lost, a page that an earlier revision
  // removed cannot be told from one the damage cut off, so both count.
  size_t pageObjects = 0;
  for (QPDFObjectHandle& object : pdf.getAllObjects()) {
    if (object.isDictionary() && object.getKey("/Type").isNameAndEquals("/Page"))
      ++pageObjects;
  }
  if (pages == 0 || pages < pageObjects)
    Fail(kPDFLErrBadPDF);
}

bool MayModify(QPDF& pdf) {
  return !pdf.isEncrypted() || pdf.ownerPasswordMatched() || pdf.allowModifyOther();
}

void CheckMayModify(QPDF& pdf) {
  if (!MayModify(pdf))
    Fail(kPDFLErrPermission);
}

QPDFObjectHandle InfoDictionary(QPDF& pdf, bool create) {
  QPDFObjectHandle trailer = pdf.getTrailer();
  QPDFObjectHandle info = trailer.getKey("/Info");
  if (info.isDictionary())
    return info;
  if (!create)
    return QPDFObjectHandle::newNull();
  info = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
  trailer.replaceKey("/Info", info);
  return info;
}

PDDoc PDDocOpen(ASPathName path, ASFileSys fileSys, void*, int32_t doRepair) {
  return Entry("PDDocOpen", [&] {
    CheckFileSys(fileSys);
    auto doc = std::make_unique<PDFLDoc>();
    ReadDocument(*doc, PathOf(path), doRepair != 0);
    PDDoc handle = Documents().Add(std::move(doc));
    CurrentHooks().Count(Event::kOpened);
    return handle;
  });
}

void PDDocClose(PDDoc doc) {
  Entry("PDDocClose", [&] {
    Documents().Remove(doc);
    CurrentHooks().Count(Event::kClosed);
  });
}

int32_t PDDocGetFlags(PDDoc doc) {
  return Entry("PDDocGetFlags", [&] {
    return DocumentOf(doc).pdf->isLinearized() ? int32_t(kPDDocIsLinearized) : 0;
  });
}

void PDDocGetVersion(PDDoc doc, int16_t* major, int16_t* minor) {
  Entry("PDDocGetVersion", [&] {
    if (!major || !minor)
      Fail(kPDFLErrBadParameter);
    std::string version = DocumentOf(doc).pdf->getPDFVersion();
    int majorPart = 1, minorPart = 0;
    if (std::sscanf(version.c_str(), "%d.%d", &majorPart, &minorPart) < 1)
      Fail(kPDFLErrBadPDF);
    *major = static_cast<int16_t>(majorPart);
    *minor = static_cast<int16_t>(minorPart);
  });
}

int32_t PDDocGetInfo(PDDoc doc, const char* key, char* buffer, int32_t size) {
  return Entry("PDDocGetInfo", [&] {
    if (size < 0)
      Fail(kPDFLErrBadParameter);
    QPDFObjectHandle value = InfoEntry(*DocumentOf(doc).pdf, InfoKey(key));
    std::string bytes = value.isString() ? value.getStringValue() : std::string();
    if (buffer && size > 0) {
      size_t copied = std::min(bytes.size(), static_cast<size_t>(size - 1));
      std::memcpy(buffer, bytes.data(), copied);
      buffer[copied] = '\0';
    }
    return static_cast<int32_t>(bytes.size());
  });
}

void PDDocSetInfo(PDDoc doc, const char* key, const char* value, int32_t length) {
  Entry("PDDocSetInfo", [&] {
    QPDF& pdf = *DocumentOf(doc).pdf;
    std::string name = InfoKey(key);
    if (length < 0 || (length > 0 && !value))
      Fail(kPDFLErrBadParameter);
    CheckMayModify(pdf);
    std::string bytes(value ? value : "", length);
    QPDFObjectHandle old = InfoEntry(pdf, name);
    if (old.isString() && old.getStringValue() == bytes)
      return;
    InfoDictionary(pdf, true).replaceKey(name, QPDFObjectHandle::newString(bytes));
    // A packet built from the document information is out of date now.
    DocumentOf(doc).xmp.reset();
    DocumentOf(doc).changedBeyondMetadata = true;
  });
}

int16_t PDDocPermRequest(PDDoc doc, int32_t objectKind, int32_t operation, const void*) {
  return Entry("PDDocPermRequest", [&] {
    QPDF& pdf = *DocumentOf(doc).pdf;
    if (objectKind != kPDPermDocument)
      Fail(kPDFLErrBadParameter);
    bool denied =
        CurrentHooks().DeniesPermission(operation) ||
        ((operation == kPDPermModify || operation == kPDPermModifyMetadata) && !MayModify(pdf));
    return static_cast<int16_t>(denied ? -1 : 0);
  });
}

ASAtom PDDocGetTrapped(PDDoc doc) {
  return Entry("PDDocGetTrapped", [&] {
    QPDFObjectHandle trapped = InfoEntry(*DocumentOf(doc).pdf, "/Trapped");
    return trapped.isName() ? Intern(trapped.getName().substr(1)) : ASAtom(0);
  });
}

void PDDocSetTrapped(PDDoc doc, ASAtom value) {
  Entry("PDDocSetTrapped", [&] {
    QPDF& pdf = *DocumentOf(doc).pdf;
    std::string name = value == 0 ? std::string() : AtomName(value);
    CheckMayModify(pdf);
    QPDFObjectHandle old = InfoEntry(pdf, "/Trapped");
    if (name.empty() ? old.isNull() : old.isNameAndEquals("/" + name))
      return;
    if (name.empty()) {
      QPDFObjectHandle info = InfoDictionary(pdf, false);
      if (info.isDictionary())
        info.removeKey("/Trapped");
    } else {
      InfoDictionary(pdf, true).replaceKey("/Trapped", QPDFObjectHandle::newName("/" + name));
    }
    DocumentOf(doc).xmp.reset();
    DocumentOf(doc).changedBeyondMetadata = true;
  });
}

}  // namespace pdfl
