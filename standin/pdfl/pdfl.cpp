// The entry points, the library's start and end, and its function tables.
#include "pdfl/pdfl.h"

#include "atoms.h"
#include "document.h"
#include "errors.h"
#include "hooks.h"
#include "metadata.h"
#include "os/thread_block.h"
#include "paths.h"
#include "save.h"
#include "text.h"

namespace pdfl {

namespace {

// Every table is offered at this version.
const uint32_t kTableVersion = 0xA0000;

// Names a row's type so that it is never deduced from the function.
template <typename T>
struct RowType {
  using Type = T;
};

// A table row: the function converted to the row's type, so that one whose
// signature drifts from that type does not compile.
template <typename Proc>
HFTEntry Row(typename RowType<Proc>::Type function) {
  return reinterpret_cast<HFTEntry>(function);
}

HFTEntry coreTable[kCoreTableSize];
HFTEntry acroSupportTable[kAcroSupportTableSize];
HFTEntry pdfLibraryTable[kPDFLibraryTableSize];
HFTEntry pdModelTable[kPDModelTableSize];
HFTEntry asExtraTable[kASExtraTableSize];
HFTEntry pdMetadataTable[kPDMetadataTableSize];
// The tables whose operations nobody calls are offered all the same.
HFTEntry emptyTables[9][1];

struct NamedTable {
  const char* name;
  HFT table;
};

const NamedTable kTables[] = {
    {"Core", coreTable},
    {"AcroSupport", acroSupportTable},
    {"PDFLibrary", pdfLibraryTable},
    {"Cos", emptyTables[0]},
    {"PDModel", pdModelTable},
    {"PDFEditRead", emptyTables[1]},
    {"PDFEditWrite", emptyTables[2]},
    {"PDSysFont", emptyTables[3]},
    {"PagePDEContent", emptyTables[4]},
    {"PDSWrite", emptyTables[5]},
    {"PDSRead", emptyTables[6]},
    {"ASExtra", asExtraTable},
    {"PDMetadata", pdMetadataTable},
    {"AcroColorHFT", emptyTables[7]},
    {"DLExtras", emptyTables[8]},
};

HFT ExtensionMgrGetHFT(ASAtom name, uint32_t version) {
  return Entry("ASExtensionMgrGetHFT", [&] {
    for (const NamedTable& table : kTables) {
      if (Intern(table.name) != name)
        continue;
      uint32_t offered = CurrentHooks().TableVersion(table.name, kTableVersion);
      return offered != 0 && offered >= version ? table.table : HFT(nullptr);
    }
    return HFT(nullptr);
  });
}

uint32_t GetVersion(HFT hft) {
  return Entry("HFTGetVersion", [&] {
    for (const NamedTable& table : kTables) {
      if (table.table != hft)
        continue;
      uint32_t offered = CurrentHooks().TableVersion(table.name, kTableVersion);
      return offered == 0 || !CurrentHooks().TableVersionKnown(table.name) ? 0xFFFFFFFFu : offered;
    }
    return 0xFFFFFFFFu;
  });
}

// Ends the library on the calling thread: everything it still has open is
// released, and other threads' work goes on. Atoms and the registered XMP
// namespaces stay for the next start.
void Term() {
  Entry("PDFLTerm", [&] {
    CurrentHooks().Count(Event::kEnded);
    CloseThreadDocuments();
    DestroyThreadTexts();
    ReleaseThreadPaths();
    DropFrames();
    FreeThreadBlock();
  });
}

void FillTables() {
  coreTable[kASPushExceptionFrameSel] = Row<ASPushExceptionFrameProc>(PushFrame);
  coreTable[kASPopExceptionFrameSel] = Row<ASPopExceptionFrameProc>(PopFrame);
  coreTable[kASGetExceptionErrorCodeSel] = Row<ASGetExceptionErrorCodeProc>(LastErrorCode);
  coreTable[kASAtomFromStringSel] = Row<ASAtomFromStringProc>(AtomFromString);
  coreTable[kASAtomGetStringSel] = Row<ASAtomGetStringProc>(AtomGetString);
  coreTable[kASExtensionMgrGetHFTSel] = Row<ASExtensionMgrGetHFTProc>(ExtensionMgrGetHFT);

  acroSupportTable[kASGetDefaultFileSysSel] = Row<ASGetDefaultFileSysProc>(GetDefaultFileSys);
  acroSupportTable[kASFileSysReleasePathSel] = Row<ASFileSysReleasePathProc>(FileSysReleasePath);
  acroSupportTable[kASFileSysCreatePathNameSel] =
      Row<ASFileSysCreatePathNameProc>(FileSysCreatePathName);
  acroSupportTable[kHFTGetVersionSel] = Row<HFTGetVersionProc>(GetVersion);

  pdfLibraryTable[kPDFLTermSel] = Row<PDFLTermProc>(Term);

  pdModelTable[kPDDocOpenSel] = Row<PDDocOpenProc>(DocOpen);
  pdModelTable[kPDDocCloseSel] = Row<PDDocCloseProc>(DocClose);
  pdModelTable[kPDDocGetFlagsSel] = Row<PDDocGetFlagsProc>(DocGetFlags);
  pdModelTable[kPDDocGetVersionSel] = Row<PDDocGetVersionProc>(DocGetVersion);
  pdModelTable[kPDDocGetInfoSel] = Row<PDDocGetInfoProc>(DocGetInfo);
  pdModelTable[kPDDocSetInfoSel] = Row<PDDocSetInfoProc>(DocSetInfo);
  pdModelTable[kPDDocSaveWithParamsSel] = Row<PDDocSaveWithParamsProc>(DocSaveWithParams);
  pdModelTable[kPDDocPermRequestSel] = Row<PDDocPermRequestProc>(DocPermRequest);
  pdModelTable[kPDDocGetTrappedSel] = Row<PDDocGetTrappedProc>(DocGetTrapped);
  pdModelTable[kPDDocSetTrappedSel] = Row<PDDocSetTrappedProc>(DocSetTrapped);

  asExtraTable[kASTextFromUnicodeSel] = Row<ASTextFromUnicodeProc>(TextFromUnicode);
  asExtraTable[kASTextFromBytesSel] = Row<ASTextFromBytesProc>(TextFromBytes);
  asExtraTable[kASTextFromScriptBytesSel] = Row<ASTextFromBytesProc>(TextFromScriptBytes);
  asExtraTable[kASTextDestroySel] = Row<ASTextDestroyProc>(TextDestroy);
  asExtraTable[kASTextGetUnicodeSel] = Row<ASTextGetUnicodeProc>(TextGetUnicode);
  asExtraTable[kASTextGetBytesSel] = Row<ASTextGetBytesProc>(TextGetBytes);
  asExtraTable[kASTextIsEmptySel] = Row<ASTextIsEmptyProc>(TextIsEmpty);

  pdMetadataTable[kPDDocGetXAPMetadataSel] = Row<PDDocGetXAPMetadataProc>(DocGetXAPMetadata);
  pdMetadataTable[kPDDocSetXAPMetadataSel] = Row<PDDocSetXAPMetadataProc>(DocSetXAPMetadata);
  pdMetadataTable[kPDDocGetXAPMetadataPropertySel] =
      Row<PDDocGetXAPMetadataPropertyProc>(DocGetXAPMetadataProperty);
  pdMetadataTable[kPDDocSetXAPMetadataPropertySel] =
      Row<PDDocSetXAPMetadataPropertyProc>(DocSetXAPMetadataProperty);
}

[[maybe_unused]] const bool tablesFilled = (FillTables(), true);

}  // namespace

}  // namespace pdfl

extern "C" {

int32_t PDFLInit(PDFLInitRecord* record) {
  try {
    if (int32_t code = pdfl::CurrentHooks().Init(record))
      return code;
    if (!record || record->size != sizeof(PDFLInitRecord))
      return kPDFLErrBadParameter;
    pdfl::StartMetadata();
    pdfl::CurrentHooks().Count(pdfl::Event::kStarted);
    return 0;
  } catch (...) {
    return kPDFLErrGeneral;
  }
}

int32_t PDFLInitThreadLocalData(uint32_t* index, uint32_t blockSize) {
  if (!index || blockSize == 0 || !pdfl::CurrentHooks().ThreadData())
    return 0;
  return pdfl::NewThreadBlock(blockSize, index) ? 1 : 0;
}

HFT PDFLGetCoreHFT(void) {
  return pdfl::coreTable;
}

}  // extern "C"
