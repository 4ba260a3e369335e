// The PDF library's operations, each called through the calling thread's
// table block at its table's slot and its selector, and the guard policy:
// every operation may raise (out of memory, a bad handle), and a raise with
// no exception frame to catch it ends the host process, so each one is called
// inside Guarded, and every text object the library makes is kept by a Texts
// that releases it inside a frame.
#ifndef DOCMARK_PDFL_CALLS_H
#define DOCMARK_PDFL_CALLS_H

#include <csetjmp>
#include <cstdint>

#include "pdfl/pdfl.h"

// The per-thread block of function tables: each table in an even slot, its
// version in the odd slot after it.
struct TableBlock {
  uintptr_t slots[55];
};

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(TableBlock) == 220, "table block layout");
#endif

// The thread-local index of the table block. PDFLInitThreadLocalData stores
// into it at every start of the library; each thread has its own, so that a
// start on one thread never rewrites what another is reading.
extern thread_local uint32_t TableBlockIndex;

enum : int {
  kCoreSlot = 0,
  kCoreVersionSlot = 1,
  kAcroSupportSlot = 2,
  kAcroSupportVersionSlot = 3,
  kPDFLibrarySlot = 4,
  kPDFLibraryVersionSlot = 5,
  kCosSlot = 6,
  kCosVersionSlot = 7,
  kPDModelSlot = 8,
  kPDModelVersionSlot = 9,
  kPDFEditReadSlot = 10,
  kPDFEditReadVersionSlot = 11,
  kPDFEditWriteSlot = 12,
  kPDFEditWriteVersionSlot = 13,
  kPDSysFontSlot = 14,
  kPDSysFontVersionSlot = 15,
  kPagePDEContentSlot = 16,
  kPagePDEContentVersionSlot = 17,
  kPDSWriteSlot = 18,
  kPDSWriteVersionSlot = 19,
  kPDSReadSlot = 20,
  kPDSReadVersionSlot = 21,
  kASExtraSlot = 22,
  kASExtraVersionSlot = 23,
  kPDMetadataSlot = 24,
  kPDMetadataVersionSlot = 25,
  kAcroColorHFTSlot = 26,
  kAcroColorHFTVersionSlot = 27,
  kDLExtrasSlot = 30,
  kDLExtrasVersionSlot = 31
};

// "Core"
void ASPushExceptionFrame(void* frame, ASRestoreProc restore);
void ASPopExceptionFrame();
ASErrorCode ASGetExceptionErrorCode();
ASAtom ASAtomFromString(const char* name);
const char* ASAtomGetString(ASAtom atom);
HFT ASExtensionMgrGetHFT(ASAtom name, uint32_t version);

// "AcroSupport"
ASFileSys ASGetDefaultFileSys();
ASPathName ASFileSysCreatePathName(ASFileSys fileSys, ASAtom pathType, const void* pathSpec,
                                   const void* mustBeZero);
void ASFileSysReleasePath(ASFileSys fileSys, ASPathName path);
uint32_t HFTGetVersion(HFT table);

// "PDFLibrary"
void PDFLTerm();

// "PDModel"
PDDoc PDDocOpen(ASPathName path, ASFileSys fileSys, void* authProc, int32_t doRepair);
void PDDocClose(PDDoc doc);
int32_t PDDocGetFlags(PDDoc doc);
void PDDocGetVersion(PDDoc doc, int16_t* major, int16_t* minor);
int32_t PDDocGetInfo(PDDoc doc, const char* key, char* buffer, int32_t size);
void PDDocSetInfo(PDDoc doc, const char* key, const char* value, int32_t length);
void PDDocSaveWithParams(PDDoc doc, PDDocSaveParams* params);
int16_t PDDocPermRequest(PDDoc doc, int32_t objectKind, int32_t operation, const void* authData);
ASAtom PDDocGetTrapped(PDDoc doc);
void PDDocSetTrapped(PDDoc doc, ASAtom value);

// "PDMetadata"
ASText PDDocGetXAPMetadata(PDDoc doc);
void PDDocSetXAPMetadata(PDDoc doc, ASText packet);
ASText PDDocGetXAPMetadataProperty(PDDoc doc, ASText namespaceURI, ASText name);
void PDDocSetXAPMetadataProperty(PDDoc doc, ASText namespaceURI, ASText prefix, ASText name,
                                 ASText value);

// "ASExtra"
ASText ASTextFromUnicode(const uint16_t* units, int32_t format);
ASText ASTextFromBytes(const char* text, int32_t reserved);
ASText ASTextFromScriptBytes(const char* text, int32_t reserved);
void ASTextDestroy(ASText text);
const uint16_t* ASTextGetUnicode(ASText text);
const char* ASTextGetBytes(ASText text, int32_t reserved);
uint16_t ASTextIsEmpty(ASText text);

// The error guard. A raise calls the frame's restore procedure, which jumps
// back into Guarded's setjmp; the frame is popped on both paths.
struct ExceptionFrame {
  std::jmp_buf context;
};

// The restore procedure of every guard: longjmp(frame->context, 1).
[[noreturn]] void RestoreFromRaise(void* frame);

// Runs body inside an error guard: true when it ran to its end, false when
// the library raised inside it. A raise longjmps over the body, so the body
// holds only trivially destructible locals (handles, numbers, raw pointers);
// anything with a destructor lives in the caller. Never inlined, as it calls
// setjmp: the caller's locals that the body sets are read back from memory.
template <typename Body>
__attribute__((noinline)) bool Guarded(Body body) {
  ExceptionFrame frame;
  ASPushExceptionFrame(&frame, RestoreFromRaise);
  if (setjmp(frame.context) == 0) {
    body();
    ASPopExceptionFrame();
    return true;
  }
  ASPopExceptionFrame();
  return false;
}

// PDFLTerm, inside a frame of its own. An end takes the frame with the rest
// of the library, so only a raise, which leaves the library running, pops it.
void EndLibrary();

// The text objects of one step, released in the order they were made, each
// inside a guard of its own: by Release, whose result the step takes as its
// own, or else when the owner goes. A text whose release raised stays with
// the library, which releases it when it ends.
class Texts {
 public:
  Texts() = default;
  ~Texts() { Release(); }
  Texts(const Texts&) = delete;
  Texts& operator=(const Texts&) = delete;

  // Keeps a text the library made (null too) and gives it back; called inside
  // a guard, so that the text is released however the guard ends.
  ASText Keep(ASText text);
  // False when the library raised while releasing one of them.
  bool Release();

 private:
  ASText texts_[4] = {};  // the most one step makes: a property call's four
  int count_ = 0;
};

#endif
