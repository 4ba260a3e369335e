#include "docmark/docmark.h"

#include "last_error.h"
#include "os/file_probe.h"
#include "os/staging_file.h"
#include "vtpdf_tag.h"

namespace {

// The version of this library, written into every tag.
const int32_t kMajor = 7;
const int32_t kMinor = 9;
const int32_t kBuild = 9;

// The size of the file at exactly this path; 0 when there is none.
int64_t FileSize(const DocmarkPathChar* path) {
  int64_t size = 0;
  return FindEntry(path, &size) ? size : 0;
}

bool ReadFrom(const DocmarkPathChar* path, PDFSettingsInfo* settings, int64_t* fileSize,
              PDFVersionInfo* version) {
  VTPDFTag tag;
  if (!tag.libraryStarted || !tag.ReadTag(path))
    return false;
  *settings = tag.settings;
  *version = tag.version;
  *fileSize = tag.fileSize;
  return true;
}

// A copy of a write that went to its end: its tag reads, and holds the
// copy's own size.
bool IsFinishedWrite(const PathChar* copy) {
  PDFSettingsInfo settings;
  PDFVersionInfo version;
  int64_t stored = -1;
  return ReadFrom(copy, &settings, &stored, &version) && stored == FileSize(copy);
}

bool Read(const DocmarkPathChar* path, PDFSettingsInfo* settings, int64_t* fileSize,
          PDFVersionInfo* version) {
  if (!path || !settings || !fileSize || !version)
    return false;
  RestoreLostTarget(path, IsFinishedWrite);
  return ReadFrom(path, settings, fileSize, version);
}

// One pass of a write: the document at `from`, tagged with `size`, saved
// over `to`.
bool WritePass(const PathChar* from, const PathChar* to, int64_t size,
               const PDFSettingsInfo& settings, bool writerFlag) {
  VTPDFTag tag;
  if (!tag.libraryStarted)
    return false;
  tag.settings = settings;
  tag.version = {kMajor, kMinor, kBuild, writerFlag};
  tag.fileSize = size;
  return tag.WriteTag(from, to);
}

// The tag holds the size of the file it is written into, so a write is two
// passes: the first tags the file into a staging file, the second tags that
// with the staged size and saves it over the file. The file changes by one
// rename at the very end, or not at all.
bool Write(const DocmarkPathChar* path, const PDFSettingsInfo& settings, bool writerFlag) {
  RestoreLostTarget(path, IsFinishedWrite);
  StagingFile staging(path);
  if (staging.path().empty() ||
      !WritePass(path, staging.path().c_str(), FileSize(path), settings, writerFlag))
    return false;
  int64_t staged = staging.Size();
  return staged >= 0 && WritePass(staging.path().c_str(), path, staged, settings, writerFlag);
}

}  // namespace

// Hosts in C and other languages cannot catch a C++ exception (memory
// exhausted, a length error), so none leaves an export: it ends the call as a
// failure once the call's objects, and with them the library, have ended.
// After a false, the thread's last error (GetLastError, errno) holds the
// reason of the system call that failed, or 0 where none did: every call on
// the way back leaves it as it found it, so each export starts from 0.

bool DOCMARK_CALL VTPDFTagIsAlreadyOptimized(const DocmarkPathChar* path) {
  PDFSettingsInfo settings;
  PDFVersionInfo version;
  int64_t fileSize = 0;
  lasterror::Set(0);
  try {
    return Read(path, &settings, &fileSize, &version);
  } catch (...) {
    return false;
  }
}

bool DOCMARK_CALL VTPDFTagRead(const DocmarkPathChar* path, PDFSettingsInfo* settings,
                               int64_t* fileSize, PDFVersionInfo* version) {
  lasterror::Set(0);
  try {
    return Read(path, settings, fileSize, version);
  } catch (...) {
    return false;
  }
}

bool DOCMARK_CALL VTPDFTagWrite(const DocmarkPathChar* path, const PDFSettingsInfo& settings,
                                bool writerFlag) {
  lasterror::Set(0);
  if (!path)
    return false;
  try {
    return Write(path, settings, writerFlag);
  } catch (...) {
    return false;
  }
}
