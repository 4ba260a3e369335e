// Testing controls of the PDF library stand-in, in the testing build of it
// (libpdfl_testing), which installs them as the library's hooks when it loads.
// Only tests include this: they drive the failure paths of the library's
// callers through the same library the product uses.
#ifndef PDFL_TESTING_PDFL_TESTING_H
#define PDFL_TESTING_PDFL_TESTING_H

#include <cstdint>
#include <string>
#include <vector>

#include "pdfl/pdfl.h"

// The code a raise that the controls ask for carries by default.
enum : ASErrorCode { kPDFLErrTesting = 99 };

namespace pdfl_testing {

// Back to a library that offers every table and fails nothing; counters at 0.
void Reset();

// Offers the named table at this version from now on; 0 offers it not at all.
// By default every table is offered at 0xA0000.
void OfferTable(const std::string& name, uint32_t version);

// HFTGetVersion answers 0xFFFFFFFF for the named table.
void HideTableVersion(const std::string& name);

// PDFLInit returns this code (0 starts normally).
void FailInit(int32_t code);

// PDFLInitThreadLocalData returns 0 when set.
void FailThreadData(bool fail);

// What PDFLInit was last handed, with the paths copied out.
struct InitRecordCopy {
  bool present = false;  // false until PDFLInit was called
  uint32_t size = 0;
  uint32_t flags = 0;
  int32_t fontDirCount = 0;
  std::vector<std::u16string> fontDirs;  // the entries used (none when the count is -1)
  bool hasCMapDirectory = false;
  std::u16string cmapDirectory;
  bool hasUnicodeDirectory = false;
  std::u16string unicodeDirectory;
};
InitRecordCopy LastInitRecord();

// The named operation raises `code` on its call number skip + 1 from now on
// (and on that call only). The name is the operation's in operations.def:
// "PDDocOpen", "PDDocSaveWithParams", "ASTextFromUnicode", ...
void RaiseIn(const std::string& operation, int skip = 0, ASErrorCode code = kPDFLErrTesting);

// The named operation lets a std::bad_alloc out to its caller on its next
// call, as memory exhausted in a C++ runtime would, instead of raising.
void ThrowIn(const std::string& operation);

// PDDocGetXAPMetadata delivers an empty packet when set.
void DeliverEmptyPacket(bool empty);

// Saves by a copy write one byte too many ahead of their first change when
// set, as a wrong plan would; the copy's proof must then reject it.
void DamageCopies(bool damage);

// A save kills its process with SIGKILL when it reaches this step of
// replacing its target: "flushed", "named" or "replaced"; empty: none.
void KillAt(const std::string& step);

// PDDocPermRequest answers -1 for this operation (4 or 5) from now on.
void DenyPermission(int32_t operation);

struct Counts {
  int starts = 0;  // PDFLInit calls that started the library
  int ends = 0;    // PDFLTerm calls
  int opens = 0;   // documents opened
  int closes = 0;  // documents closed
  int saves = 0;   // saves that completed
  int copies = 0;  // of those, the ones made by copying the file's bytes
};
Counts GetCounts();

}  // namespace pdfl_testing

#endif
