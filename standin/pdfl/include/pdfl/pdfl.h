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

// The names of the function tables, for ASAtomFromString and
// ASExtensionMgrGetHFT: "Core", "AcroSupport", "PDFLibrary", "Cos", "PDModel",
// "PDFEditRead", "PDFEditWrite", "PDSysFont", "PagePDEContent", "PDSWrite",
// "PDSRead", "ASExtra", "PDMetadata", "AcroColorHFT", "DLExtras".
// ASExtensionMgrGetHFT gives a table when the library offers it at the
// requested version or later, and null otherwise.

// The entry points, imported by name.
int32_t PDFLInit(PDFLInitRecord* record);  // 0 = started
// Creates the calling thread's table block of blockSize bytes and stores the
// thread-local index of it into *index. Returns 0 on failure.
int32_t PDFLInitThreadLocalData(uint32_t* index, uint32_t blockSize);
HFT PDFLGetCoreHFT(void);

// Selectors and signatures, table by table.

// "Core"
enum : int {
  kASPushExceptionFrameSel = 2,
  kASPopExceptionFrameSel = 3,
  kASGetExceptionErrorCodeSel = 4,
  kASAtomFromStringSel = 5,
  kASAtomGetStringSel = 7,
  kASExtensionMgrGetHFTSel = 10,
  kCoreTableSize = 11
};
typedef void (*ASPushExceptionFrameProc)(void* frame, ASRestoreProc restore);
typedef void (*ASPopExceptionFrameProc)(void);
typedef ASErrorCode (*ASGetExceptionErrorCodeProc)(void);
typedef ASAtom (*ASAtomFromStringProc)(const char* name);
typedef const char* (*ASAtomGetStringProc)(ASAtom atom);
typedef HFT (*ASExtensionMgrGetHFTProc)(ASAtom name, uint32_t version);

// "AcroSupport"
enum : int {
  kASGetDefaultFileSysSel = 21,
  kASFileSysReleasePathSel = 25,
  kASFileSysCreatePathNameSel = 52,
  kHFTGetVersionSel = 103,
  kAcroSupportTableSize = 104
};
typedef ASFileSys (*ASGetDefaultFileSysProc)(void);
typedef void (*ASFileSysReleasePathProc)(ASFileSys fileSys, ASPathName path);
// pathType "WinUnicodePath": pathSpec is a NUL-terminated PDFLPathChar string.
typedef ASPathName (*ASFileSysCreatePathNameProc)(ASFileSys fileSys, ASAtom pathType,
                                                  const void* pathSpec, const void* mustBeZero);
typedef uint32_t (*HFTGetVersionProc)(HFT table);  // 0xFFFFFFFF when unknown

// "PDFLibrary"
enum : int { kPDFLTermSel = 38, kPDFLibraryTableSize = 39 };
typedef void (*PDFLTermProc)(void);

// "PDModel"
enum : int {
  kPDDocOpenSel = 66,
  kPDDocCloseSel = 71,
  kPDDocGetFlagsSel = 74,
  kPDDocGetVersionSel = 81,
  kPDDocGetInfoSel = 104,
  kPDDocSetInfoSel = 105,
  kPDDocSaveWithParamsSel = 297,
  kPDDocPermRequestSel = 361,
  kPDDocGetTrappedSel = 512,
  kPDDocSetTrappedSel = 513,
  kPDModelTableSize = 514
};
typedef PDDoc (*PDDocOpenProc)(ASPathName path, ASFileSys fileSys, void* authProc,
                               int32_t doRepair);
typedef void (*PDDocCloseProc)(PDDoc doc);
typedef int32_t (*PDDocGetFlagsProc)(PDDoc doc);
typedef void (*PDDocGetVersionProc)(PDDoc doc, int16_t* major, int16_t* minor);
// Copies at most size - 1 bytes and a NUL when buffer is not null; returns the
// value's length in bytes, 0 when the entry is absent.
typedef int32_t (*PDDocGetInfoProc)(PDDoc doc, const char* key, char* buffer, int32_t size);
typedef void (*PDDocSetInfoProc)(PDDoc doc, const char* key, const char* value, int32_t length);
typedef void (*PDDocSaveWithParamsProc)(PDDoc doc, PDDocSaveParams* params);
typedef int16_t (*PDDocPermRequestProc)(PDDoc doc, int32_t objectKind, int32_t operation,
                                        const void* authData);
// The document's trapping state, the name /Trapped of its document
// information: the atom of the name, or 0 when unset.
typedef ASAtom (*PDDocGetTrappedProc)(PDDoc doc);
typedef void (*PDDocSetTrappedProc)(PDDoc doc, ASAtom value);

// "ASExtra"
enum : int {
  kASTextFromUnicodeSel = 4,
  kASTextFromBytesSel = 6,
  kASTextFromScriptBytesSel = 8,
  kASTextDestroySel = 12,
  kASTextGetUnicodeSel = 21,
  kASTextGetBytesSel = 25,
  kASTextIsEmptySel = 90,
  kASExtraTableSize = 91
};
typedef ASText (*ASTextFromUnicodeProc)(const uint16_t* units, int32_t format);
// Narrow text is taken as UTF-8; the second argument is reserved (0).
typedef ASText (*ASTextFromBytesProc)(const char* text, int32_t reserved);  // selectors 6 and 8
typedef void (*ASTextDestroyProc)(ASText text);                             // null is allowed
// Zero-terminated, owned by the text object.
typedef const uint16_t* (*ASTextGetUnicodeProc)(ASText text);
// Zero-terminated UTF-8, owned by the text object.
typedef const char* (*ASTextGetBytesProc)(ASText text, int32_t reserved);
typedef uint16_t (*ASTextIsEmptyProc)(ASText text);

// "PDMetadata"
enum : int {
  kPDDocGetXAPMetadataSel = 1,
  kPDDocSetXAPMetadataSel = 2,
  kPDDocGetXAPMetadataPropertySel = 8,
  kPDDocSetXAPMetadataPropertySel = 9,
  kPDMetadataTableSize = 10
};
typedef ASText (*PDDocGetXAPMetadataProc)(PDDoc doc);
typedef void (*PDDocSetXAPMetadataProc)(PDDoc doc, ASText packet);
// Null when the property does not exist.
typedef ASText (*PDDocGetXAPMetadataPropertyProc)(PDDoc doc, ASText namespaceURI, ASText name);
typedef void (*PDDocSetXAPMetadataPropertyProc)(PDDoc doc, ASText namespaceURI, ASText prefix,
                                                ASText name, ASText value);

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
