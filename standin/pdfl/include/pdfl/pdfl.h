// The C interface of the PDF library that docmark links against.
//
// Three entry points are imported by name; every other operation sits at a
// fixed selector of a named function table. The tables of the calling thread
// live in its table block, which PDFLInitThreadLocalData creates and whose
// thread-local index it stores into the caller's variable.
//
// The records below cross the boundary by address. Their layouts are those of
// the 32-bit Windows library; on 64-bit targets the pointer fields widen.
#ifndef PDFL_PDFL_H
#define PDFL_PDFL_H

#include <cstddef>
#include <cstdint>

extern "C" {

// File paths are UTF-16 on every target.
#ifdef _WIN32
typedef wchar_t PDFLPathChar;
#else
typedef char16_t PDFLPathChar;
#endif

typedef uint32_t ASAtom;  // 0 is no atom
typedef int32_t ASErrorCode;
typedef void (*HFTEntry)(void);
typedef HFTEntry* HFT;  // a function table, indexed by selector
typedef struct PDFLFileSys* ASFileSys;
typedef struct PDFLPathName* ASPathName;
typedef struct PDFLDoc* PDDoc;
typedef struct PDFLText* ASText;

// Pushed by the caller around every call that may raise. A raise calls the
// top frame's restore procedure with the frame; it must not return (it
// longjmps back into the caller). The library never unwinds through C++
// scopes of its own when it raises.
typedef void (*ASRestoreProc)(void* frame);

// Error codes that ASGetExceptionErrorCode reports.
enum : ASErrorCode {
  kPDFLErrGeneral = 1,
  kPDFLErrBadParameter = 2,
  kPDFLErrFileOpen = 3,   // missing or unreadable file
  kPDFLErrBadPDF = 4,     // not a PDF, even with repair
  kPDFLErrFileWrite = 5,  // the save could not be written
  kPDFLErrBadXMP = 6,     // a metadata packet that does not parse
  kPDFLErrPermission = 7  // the document does not allow the operation
};

// The record handed to PDFLInit (72 bytes on 32-bit targets).
struct PDFLInitRecord {
  uint32_t size;                           // 0: sizeof(PDFLInitRecord)
  uint32_t flags;                          // 4: kPDFLInitFlags
  uint32_t reserved8;                      // 8
  const PDFLPathChar* const* fontDirList;  // 12: font directories
  int32_t fontDirCount;                    // 16: entries used, or -1
  uint32_t reserved20[6];                  // 20
  const PDFLPathChar* cmapDirectory;       // 44: or null
  const PDFLPathChar* unicodeDirectory;    // 48: or null
  uint32_t reserved52[5];                  // 52
};

enum : uint32_t { kPDFLInitFlags = 0x40 };

// The record handed to PDDocSaveWithParams (80 bytes on 32-bit targets).
struct PDDocSaveParams {
  uint32_t size;           // 0: sizeof(PDDocSaveParams)
  uint32_t saveFlags;      // 4: kPDSave...
  ASPathName newPath;      // 8: where to write
  uint8_t reserved12[36];  // 12
  uint16_t majorVersion;   // 48: PDF version to write
  uint16_t minorVersion;   // 50
  uint16_t setVersion;     // 52: 1 = write the version above
  uint8_t reserved54[14];  // 54
  uint32_t saveFlags2;     // 68: kPDSave2...
  uint8_t reserved72[8];   // 72
};

enum : uint32_t {
  kPDSaveFull = 0x01,
  kPDSaveLinearized = 0x04,
  kPDSaveCollectGarbage = 0x20,
  kPDSaveKeepModDate = 0x80,

  kPDSave2Uncompressed = 0x01,  // no object streams
  kPDSave2Compressed = 0x02,    // generate object streams
  kPDSave2KeepEncryption = 0x10,
  kPDSave2NewlineBeforeEndstream = 0x40
};

enum : int32_t { kPDDocIsLinearized = 0x400 };  // in PDDocGetFlags

// PDDocPermRequest: object kind and operations. A status of -1 is denied.
enum : int32_t {
  kPDPermDocument = 1,
  kPDPermModify = 4,         // change the document's content
  kPDPermModifyMetadata = 5  // change its document information and XMP
};

// ASTextFromUnicode formats.
enum : int32_t { kASTextUTF16HostOrder = 1 };

// The function tables, by the atoms of the names operations.def gives them,
// come from ASExtensionMgrGetHFT.

// The entry points, imported by name.
int32_t PDFLInit(PDFLInitRecord* record);  // 0 = started
// Creates the calling thread's table block of blockSize bytes and stores the
// thread-local index of it into *index. Returns 0 on failure.
int32_t PDFLInitThreadLocalData(uint32_t* index, uint32_t blockSize);
HFT PDFLGetCoreHFT(void);

// Each operation's selector kNameSel in its table, and its signature NameProc.
#define PDFL_OPERATION(Table, Selector, Name, Result, Parameters) \
  enum : int { k##Name##Sel = Selector };                         \
  typedef Result(*Name##Proc) Parameters;
#include "pdfl/operations.def"

}  // extern "C"

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(PDFLInitRecord) == 72, "init record layout");
static_assert(offsetof(PDFLInitRecord, fontDirList) == 12, "init record layout");
static_assert(offsetof(PDFLInitRecord, fontDirCount) == 16, "init record layout");
static_assert(offsetof(PDFLInitRecord, cmapDirectory) == 44, "init record layout");
static_assert(offsetof(PDFLInitRecord, unicodeDirectory) == 48, "init record layout");
static_assert(sizeof(PDDocSaveParams) == 80, "save record layout");
static_assert(offsetof(PDDocSaveParams, newPath) == 8, "save record layout");
static_assert(offsetof(PDDocSaveParams, majorVersion) == 48, "save record layout");
static_assert(offsetof(PDDocSaveParams, setVersion) == 52, "save record layout");
static_assert(offsetof(PDDocSaveParams, saveFlags2) == 68, "save record layout");
#endif

#endif
