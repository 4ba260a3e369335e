// The PDF library's operations, each called through the calling thread's
// table block at its table's slot and its selector, and the error guard that
// turns a library error into a branch of the caller.
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
// into it at every start of the library.
extern uint32_t TableBlockIndex;

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
// back into the guard's setjmp with 1:
//
//   PDFL_GUARD_BEGIN
//     ... library calls ...
//   PDFL_GUARD_HANDLER
//     ... a library error was raised: take the failure result ...
//   PDFL_GUARD_END
//
// The frame is popped on both branches before the caller's code goes on.
// Because a raise longjmps over the region, the region holds only trivially
// destructible locals (handles, numbers, raw pointers): anything with a
// destructor lives outside the guard. A local assigned inside the region and
// read after a raise must be volatile.
struct ExceptionFrame {
  std::jmp_buf context;
};

// The restore procedure of every guard: longjmp(frame->context, 1).
[[noreturn]] void RestoreFromRaise(void* frame);

#define PDFL_GUARD_BEGIN                                   \
  {                                                        \
    ExceptionFrame pdflGuardFrame;                         \
    ASPushExceptionFrame(&pdflGuardFrame, RestoreFromRaise); \
    if (setjmp(pdflGuardFrame.context) == 0) {

#define PDFL_GUARD_HANDLER \
    ASPopExceptionFrame(); \
    }                      \
    else {                 \
      ASPopExceptionFrame();

#define PDFL_GUARD_END \
    }                  \
  }

#endif
