// VTPDF: one start and one end of the PDF library, and the document
// operations the tag needs. Every library call that may raise runs inside the
// error guard, so a library error becomes the operation's failure result.
#ifndef DOCMARK_VTPDF_H
#define DOCMARK_VTPDF_H

#include <cstdint>
#include <string>

#include "os/path.h"
#include "pdfl/pdfl.h"

enum { kPathBufferLength = 260 };  // 259 characters and the terminating NUL

class VTPDF {
 public:
  VTPDF();           // starts the library
  virtual ~VTPDF();  // ends it, if it started

  VTPDF(const VTPDF&) = delete;
  VTPDF& operator=(const VTPDF&) = delete;

  // Opens with repair; none when the file cannot be opened or the document
  // denies modification (permission requests 4 and 5).
  PDDoc OpenDocument(const PathChar* path);
  // A full save over `path`, linearized on request.
  bool SaveDocument(PDDoc document, const PathChar* path, bool linearize);
  bool CloseDocument(PDDoc document);

  uint32_t StartLibrary();
  // Fetches the named table at `minimum` or later into the table block;
  // false, with a line to the debugger output, when it cannot be had.
  bool AcquireTable(const char* name, uint32_t minimum, int tableSlot, int versionSlot);
  // 0, or the system's error code; the directory is empty on failure.
  uint32_t GetExecutableDirectory(PathString& directory);
  // The start-up record's paths, beside the executable in `directory`.
  int32_t BuildFontDirectories(const PathString& directory);     // 1, 2, or -1
  PathChar* BuildCMapDirectory(const PathString& directory);     // or null
  PathChar* BuildUnicodeDirectory(const PathString& directory);  // or null

  PathChar cmapDirectory[kPathBufferLength];
  PathChar fontDirectories[2][kPathBufferLength];
  bool libraryStarted;
  PathChar unicodeDirectory[kPathBufferLength];
  // The start-up record points here and into the buffers above.
  const PathChar* fontDirectoryList[2];
};

#endif
