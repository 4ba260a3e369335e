// The entry points, the library's start and end, and its function tables.
#include "pdfl/pdfl.h"

#include "atoms.h"
#include "document.h"
#include "errors.h"
#include "hooks.h"
#include "metadata.h"
#include "native.h"
#include "paths.h"
#include "save.h"
#include "text.h"

namespace pdfl {

namespace {

// Every table is offered at this version.
const uint32_t kTableVersion = 0xA0000;

template <typename F>
HFTEntry At(F function) {
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
    {"Core", coreTable},           {"AcroSupport", acroSupportTable},
    {"PDFLibrary", pdfLibraryTable}, {"Cos", emptyTables[0]},
    {"PDModel", pdModelTable},     {"PDFEditRead", emptyTables[1]},
    {"PDFEditWrite", emptyTables[2]}, {"PDSysFont", emptyTables[3]},
    {"PagePDEContent", emptyTables[4]}, {"PDSWrite", emptyTables[5]},
    {"PDSRead", emptyTables[6]},   {"ASExtra", asExtraTable},
    {"PDMetadata", pdMetadataTable}, {"AcroColorHFT", emptyTables[7]},
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
      return offered == 0 || !CurrentHooks().TableVersionKnown(table.name) ? 0xFFFFFFFFu
                                                                          : offered;
    }
    return 0xFFFFFFFFu;
  });
}

// Ends the library: everything still open is released. Atoms and the
// registered XMP namespaces stay for the next start.
void Term() {
  Entry("PDFLTerm", [&] {
    CurrentHooks().Count(Event::kEnded);
    CloseAllDocuments();
    DestroyAllTexts();
    ReleaseAllPaths();
    DropFrames();
    FreeThreadBlock();
  });
}

void FillTables() {
  coreTable[kASPushExceptionFrameSel] = At(PushFrame);
  coreTable[kASPopExceptionFrameSel] = At(PopFrame);
  coreTable[kASGetExceptionErrorCodeSel] = At(LastErrorCode);
  coreTable[kASAtomFromStringSel] = At(AtomFromString);
  coreTable[kASAtomGetStringSel] = At(AtomGetString);
  coreTable[kASExtensionMgrGetHFTSel] = At(ExtensionMgrGetHFT);

  acroSupportTable[kASGetDefaultFileSysSel] = At(GetDefaultFileSys);
  acroSupportTable[kASFileSysReleasePathSel] = At(FileSysReleasePath);
  acroSupportTable[kASFileSysCreatePathNameSel] = At(FileSysCreatePathName);
  acroSupportTable[kHFTGetVersionSel] = At(GetVersion);

  pdfLibraryTable[kPDFLTermSel] = At(Term);

  pdModelTable[kPDDocOpenSel] = At(DocOpen);
  pdModelTable[kPDDocCloseSel] = At(DocClose);
  pdModelTable[kPDDocGetFlagsSel] = At(DocGetFlags);
  pdModelTable[kPDDocGetVersionSel] = At(DocGetVersion);
  pdModelTable[kPDDocGetInfoSel] = At(DocGetInfo);
  pdModelTable[kPDDocSetInfoSel] = At(DocSetInfo);
  pdModelTable[kPDDocSaveWithParamsSel] = At(DocSaveWithParams);
  pdModelTable[kPDDocPermRequestSel] = At(DocPermRequest);
  pdModelTable[kPDDocGetTrappedSel] = At(DocGetTrapped);
  pdModelTable[kPDDocSetTrappedSel] = At(DocSetTrapped);

  asExtraTable[kASTextFromUnicodeSel] = At(TextFromUnicode);
  asExtraTable[kASTextFromBytesSel] = At(TextFromBytes);
  asExtraTable[kASTextFromScriptBytesSel] = At(TextFromScriptBytes);
  asExtraTable[kASTextDestroySel] = At(TextDestroy);
  asExtraTable[kASTextGetUnicodeSel] = At(TextGetUnicode);
  asExtraTable[kASTextGetBytesSel] = At(TextGetBytes);
  asExtraTable[kASTextIsEmptySel] = At(TextIsEmpty);

  pdMetadataTable[kPDDocGetXAPMetadataSel] = At(DocGetXAPMetadata);
  pdMetadataTable[kPDDocSetXAPMetadataSel] = At(DocSetXAPMetadata);
  pdMetadataTable[kPDDocGetXAPMetadataPropertySel] = At(DocGetXAPMetadataProperty);
  pdMetadataTable[kPDDocSetXAPMetadataPropertySel] = At(DocSetXAPMetadataProperty);
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
