// The file system and its path objects. The one file system is the native
// one; paths come in as UTF-16 ("WinUnicodePath") and are kept as UTF-8.
#ifndef PDFL_PATHS_H
#define PDFL_PATHS_H

#include <string>

#include "pdfl/pdfl.h"

struct PDFLPathName {
  std::string path;  // UTF-8, for the native file system
};

namespace pdfl {

// The path of a caller's path object; raises on an unknown handle.
const std::string& PathOf(ASPathName path);
// A null file system stands for the default one; any other raises.
void CheckFileSys(ASFileSys fileSys);
void ReleaseAllPaths();

// The operations of "AcroSupport".
ASFileSys GetDefaultFileSys();
ASPathName FileSysCreatePathName(ASFileSys fileSys, ASAtom pathType, const void* pathSpec,
                                 const void* mustBeZero);
void FileSysReleasePath(ASFileSys fileSys, ASPathName path);

}  // namespace pdfl

#endif
