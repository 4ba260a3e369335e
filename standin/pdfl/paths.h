// The file system and its path objects. The one file system is the native
// one; paths come in as UTF-16 ("WinUnicodePath") and are kept in the native
// form.
#ifndef PDFL_PATHS_H
#define PDFL_PATHS_H

#include <string>

#include "os/native_path.h"
#include "pdfl/pdfl.h"

struct PDFLPathName {
  pdfl::NativePath path;
};

namespace pdfl {

// The path of a caller's path object; raises on an unknown handle.
const NativePath& PathOf(ASPathName path);
// A null file system stands for the default one; any other raises.
void CheckFileSys(ASFileSys fileSys);
// Releases the path objects the calling thread made.
void ReleaseThreadPaths();

}  // namespace pdfl

#endif
