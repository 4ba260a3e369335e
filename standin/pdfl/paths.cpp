#include "paths.h"

#include "atoms.h"
#include "errors.h"
#include "handles.h"
#include "operations.h"

struct PDFLFileSys {};

namespace pdfl {

namespace {

PDFLFileSys defaultFileSys;

Handles<PDFLPathName>& Paths() {
  static Handles<PDFLPathName> paths;
  return paths;
}

}  // namespace

const NativePath& PathOf(ASPathName path) {
  return Paths().Get(path).path;
}

void CheckFileSys(ASFileSys fileSys) {
  if (fileSys && fileSys != &defaultFileSys)
    Fail(kPDFLErrBadParameter);
}

void ReleaseThreadPaths() {
  Paths().ClearThread();
}

ASFileSys ASGetDefaultFileSys() {
  return Entry("ASGetDefaultFileSys", [&] { return &defaultFileSys; });
}

ASPathName ASFileSysCreatePathName(ASFileSys fileSys, ASAtom pathType, const void* pathSpec,
                                   const void* mustBeZero) {
  return Entry("ASFileSysCreatePathName", [&] {
    if (fileSys != &defaultFileSys || pathType != Intern("WinUnicodePath") || !pathSpec ||
        mustBeZero)
      Fail(kPDFLErrBadParameter);
    const auto* given = static_cast<const PDFLPathChar*>(pathSpec);
    std::u16string units(given, given + std::char_traits<PDFLPathChar>::length(given));
    auto path = std::make_unique<PDFLPathName>();
    if (units.empty() || !ToNativePath(units, path->path))
      Fail(kPDFLErrBadParameter);
    return Paths().Add(std::move(path));
  });
}

void ASFileSysReleasePath(ASFileSys fileSys, ASPathName path) {
  Entry("ASFileSysReleasePath", [&] {
    CheckFileSys(fileSys);
    if (path)
      Paths().Remove(path);
  });
}

}  // namespace pdfl
