// docmark_startup_probe: a test program for the Windows build. docmark and the
// stand-in are linked into it, so that it can show what the library was
// handed at start-up: the font folder list built beside this program.
//
//   docmark_startup_probe FILE    checks FILE, then prints the list's count
//                                 and entries, one per line
#include <cstdio>
#include <string>

#include "docmark/docmark.h"
#include "pdfl_testing.h"
#include "utf8.h"

int wmain(int argc, wchar_t* argv[]) {
  if (argc != 2)
    return 2;
  VTPDFTagIsAlreadyOptimized(argv[1]);
  pdfl_testing::InitRecordCopy record = pdfl_testing::LastInitRecord();
  std::printf("font folders: %d\n", static_cast<int>(record.fontDirCount));
  for (const std::u16string& folder : record.fontDirs)
    std::printf("%s\n", utf8::EncodeLossless(folder).c_str());
  return 0;
}
