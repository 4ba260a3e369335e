// The entry points, the library's start and end, and its function tables.
#include "pdfl/pdfl.h"

#include <string>

#include "atoms.h"
#include "document.h"
#include "errors.h"
#include "metadata.h"
#include "native.h"
#include "paths.h"
#include "save.h"
#include "testing_controls.h"
#include "text.h"

namespace pdfl {

namespace {

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
      uint32_t offered = OfferedVersion(table.name);
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
      uint32_t offered = OfferedVersion(table.name);
      return offered == 0 || TableVersionHidden(table.name) ? 0xFFFFFFFFu : offered;
    }
    return 0xFFFFFFFFu;
  });
}

// Ends the library: everything still open is released. Atoms and the
// registered XMP namespaces stay for the next start.
void Term() {
  Entry("PDFLTerm", [&] {
    ++Testing().counts.ends;
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

std::u16string CopyPath(const PDFLPathChar* path) {
  if (!path)
    return std::u16string();
  return std::u16string(path, path + std::char_traits<PDFLPathChar>::length(path));
}

void KeepInitRecord(const PDFLInitRecord& record) {
  pdfl_testing::InitRecordCopy copy;
  copy.present = true;
  copy.size = record.size;
  copy.flags = record.flags;
  copy.fontDirCount = record.fontDirCount;
  for (int32_t i = 0; record.fontDirList && i < record.fontDirCount; ++i)
    copy.fontDirs.push_back(CopyPath(record.fontDirList[i]));
  copy.hasCMapDirectory = record.cmapDirectory != nullptr;
  copy.cmapDirectory = CopyPath(record.cmapDirectory);
  copy.hasUnicodeDirectory = record.unicodeDirectory != nullptr;
  copy.unicodeDirectory = CopyPath(record.unicodeDirectory);
  Testing().lastInitRecord = copy;
}

}  // namespace

}  // namespace pdfl

extern "C" {

int32_t PDFLInit(PDFLInitRecord* record) {
  try {
    if (record)
      pdfl::KeepInitRecord(*record);
    if (pdfl::Testing().initCode != 0)
      return pdfl::Testing().initCode;
    if (!record || record->size != sizeof(PDFLInitRecord))
      return kPDFLErrBadParameter;
    pdfl::StartMetadata();
    ++pdfl::Testing().counts.starts;
    return 0;
  } catch (...) {
    return kPDFLErrGeneral;
  }
}

int32_t PDFLInitThreadLocalData(uint32_t* index, uint32_t blockSize) {
  if (!index || blockSize == 0 || pdfl::Testing().failThreadData)
    return 0;
  return pdfl::NewThreadBlock(blockSize, index) ? 1 : 0;
}

HFT PDFLGetCoreHFT(void) {
  return pdfl::coreTable;
}

}  // extern "C"
