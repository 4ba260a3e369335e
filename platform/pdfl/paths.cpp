#include "paths.h"

#include "atoms.h"
#include "errors.h"
#include "handles.h"
#include "utf8.h"

struct PDFLFileSys {};

namespace pdfl {

namespace {

PDFLFileSys defaultFileSys;

Handles<PDFLPathName>& Paths() {
  static Handles<PDFLPathName> paths;
  return paths;
}

}  // namespace

const std::string& PathOf(ASPathName path) {
  return Paths().Get(path).path;
}

void CheckFileSys(ASFileSys fileSys) {
  if (fileSys && fileSys != &defaultFileSys)
    Fail(kPDFLErrBadParameter);
}

void ReleaseAllPaths() {
  Paths().Clear();
}

ASFileSys GetDefaultFileSys() {
  return Entry("ASGetDefaultFileSys", [&] { return &defaultFileSys; });
}

ASPathName FileSysCreatePathName(ASFileSys fileSys, ASAtom pathType, const void* pathSpec,
                                 const void* mustBeZero) {
  return Entry("ASFileSysCreatePathName", [&] {
    if (fileSys != &defaultFileSys || pathType != Intern("WinUnicodePath") || !pathSpec ||
        mustBeZero)
      Fail(kPDFLErrBadParameter);
    std::u16string units = static_cast<const PDFLPathChar*>(pathSpec);
    if (units.empty())
      Fail(kPDFLErrBadParameter);
    auto path = std::make_unique<PDFLPathName>();
    // A host on POSIX passes each byte of a name that is not UTF-8 as
    // U+DC00 + byte (PEP 383); any other unpaired surrogate names no file.
    if (!utf8::HasByteForm(units))
      Fail(kPDFLErrBadParameter);
    path->path = utf8::EncodeLossless(units);
    return Paths().Add(std::move(path));
  });
}

void FileSysReleasePath(ASFileSys fileSys, ASPathName path) {
  Entry("ASFileSysReleasePath", [&] {
    CheckFileSys(fileSys);
    if (path)
      Paths().Remove(path);
  });
}

}  // namespace pdfl
