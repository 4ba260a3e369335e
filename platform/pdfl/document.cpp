#include "document.h"

#include <cstring>

#include "atoms.h"
#include "errors.h"
#include "handles.h"
#include "paths.h"
#include "testing_controls.h"

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

}  // namespace

PDFLDoc& DocumentOf(PDDoc doc) {
  return Documents().Get(doc);
}

void CloseAllDocuments() {
  Documents().Clear();
}

std::unique_ptr<QPDF> ReadPdf(const std::string& path, bool repair) {
  auto pdf = std::make_unique<QPDF>();
  pdf->setSuppressWarnings(true);
  pdf->setAttemptRecovery(repair);
  pdf->processFile(path.c_str(), "");
  if (!pdf->getRoot().isDictionary())
    Fail(kPDFLErrBadPDF);
  pdf->getAllPages();
  return pdf;
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

PDDoc DocOpen(ASPathName path, ASFileSys fileSys, void*, int32_t doRepair) {
  return Entry("PDDocOpen", [&] {
    CheckFileSys(fileSys);
    auto doc = std::make_unique<PDFLDoc>();
    doc->pdf = ReadPdf(PathOf(path), doRepair != 0);
    PDDoc handle = Documents().Add(std::move(doc));
    ++Testing().counts.opens;
    return handle;
  });
}

void DocClose(PDDoc doc) {
  Entry("PDDocClose", [&] {
    Documents().Remove(doc);
    ++Testing().counts.closes;
  });
}

int32_t DocGetFlags(PDDoc doc) {
  return Entry("PDDocGetFlags", [&] {
    return DocumentOf(doc).pdf->isLinearized() ? int32_t(kPDDocIsLinearized) : 0;
  });
}

void DocGetVersion(PDDoc doc, int16_t* major, int16_t* minor) {
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

int32_t DocGetInfo(PDDoc doc, const char* key, char* buffer, int32_t size) {
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

void DocSetInfo(PDDoc doc, const char* key, const char* value, int32_t length) {
  Entry("PDDocSetInfo", [&] {
    QPDF& pdf = *DocumentOf(doc).pdf;
    std::string name = InfoKey(key);
    if (length < 0 || (length > 0 && !value))
      Fail(kPDFLErrBadParameter);
    CheckMayModify(pdf);
    InfoDictionary(pdf, true).replaceKey(
        name, QPDFObjectHandle::newString(std::string(value ? value : "", length)));
  });
}

int16_t DocPermRequest(PDDoc doc, int32_t objectKind, int32_t operation, const void*) {
  return Entry("PDDocPermRequest", [&] {
    QPDF& pdf = *DocumentOf(doc).pdf;
    if (objectKind != kPDPermDocument)
      Fail(kPDFLErrBadParameter);
    bool denied = Testing().deniedPermissions.count(operation) != 0 ||
                  ((operation == kPDPermModify || operation == kPDPermModifyMetadata) &&
                   !MayModify(pdf));
    return static_cast<int16_t>(denied ? -1 : 0);
  });
}

ASAtom DocGetTrapped(PDDoc doc) {
  return Entry("PDDocGetTrapped", [&] {
    QPDFObjectHandle trapped = InfoEntry(*DocumentOf(doc).pdf, "/Trapped");
    return trapped.isName() ? Intern(trapped.getName().substr(1)) : ASAtom(0);
  });
}

void DocSetTrapped(PDDoc doc, ASAtom value) {
  Entry("PDDocSetTrapped", [&] {
    QPDF& pdf = *DocumentOf(doc).pdf;
    std::string name = value == 0 ? std::string() : AtomName(value);
    CheckMayModify(pdf);
    if (name.empty()) {
      QPDFObjectHandle info = InfoDictionary(pdf, false);
      if (info.isDictionary())
        info.removeKey("/Trapped");
    } else {
      InfoDictionary(pdf, true).replaceKey("/Trapped", QPDFObjectHandle::newName("/" + name));
    }
  });
}

}  // namespace pdfl
