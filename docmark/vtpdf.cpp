#include "vtpdf.h"

#include <cstring>

#include "error_guard.h"
#include "os/debug_line.h"
#include "os/executable.h"
#include "os/file_probe.h"
#include "os/library_lock.h"
#include "os/table_block.h"
#include "pdfl_calls.h"

namespace {

// dir + "/Resource/" + name, with the native separator.
PathString ResourcePath(const PathString& directory, const char* name) {
  PathString path = directory;
  path += kPathSeparator;
  for (const char* c = "Resource"; *c; ++c)
    path += static_cast<PathChar>(*c);
  path += kPathSeparator;
  for (const char* c = name; *c; ++c)
    path += static_cast<PathChar>(*c);
  return path;
}

// False when the path does not fit the buffer with its terminating NUL.
bool CopyPath(const PathString& path, PathChar* buffer) {
  if (path.size() >= kPathBufferLength)
    return false;
  std::memcpy(buffer, path.c_str(), (path.size() + 1) * sizeof(PathChar));
  return true;
}

// Table versions tried, newest first, when the version query is not to be
// trusted or the table manager is too old to answer it.
const uint32_t kFallbackVersions[] = {0x50001, 0x50000, 0x40005, 0x40000,
                                      0x20003, 0x20002, 0x20001};

struct TableRequest {
  const char* name;
  uint32_t minimum;
  int tableSlot;
  int versionSlot;
};

const TableRequest kTables[] = {
    {"AcroSupport", 0x80000, kAcroSupportSlot, kAcroSupportVersionSlot},
    {"Core", 0x50000, kCoreSlot, kCoreVersionSlot},
    {"PDFLibrary", 0x60000, kPDFLibrarySlot, kPDFLibraryVersionSlot},
    {"Cos", 0x60000, kCosSlot, kCosVersionSlot},
    {"PDModel", 0x60000, kPDModelSlot, kPDModelVersionSlot},
    {"PDFEditWrite", 0x60000, kPDFEditWriteSlot, kPDFEditWriteVersionSlot},
    {"PDFEditRead", 0x60000, kPDFEditReadSlot, kPDFEditReadVersionSlot},
    {"PDSysFont", 0x40000, kPDSysFontSlot, kPDSysFontVersionSlot},
    {"PagePDEContent", 0x60000, kPagePDEContentSlot, kPagePDEContentVersionSlot},
    {"PDSWrite", 0x60000, kPDSWriteSlot, kPDSWriteVersionSlot},
    {"PDSRead", 0x60000, kPDSReadSlot, kPDSReadVersionSlot},
    {"ASExtra", 0x60000, kASExtraSlot, kASExtraVersionSlot},
    {"PDMetadata", 0x60000, kPDMetadataSlot, kPDMetadataVersionSlot},
    {"AcroColorHFT", 0x80000, kAcroColorHFTSlot, kAcroColorHFTVersionSlot},
    {"DLExtras", 0x90001, kDLExtrasSlot, kDLExtrasVersionSlot},
};

const uint32_t kUnknownVersion = 0xFFFFFFFF;
const uint32_t kBetaVersionBit = 0x80000000;

ASPathName CreatePathName(ASFileSys fileSys, const PathChar* path) {
  return ASFileSysCreatePathName(fileSys, ASAtomFromString("WinUnicodePath"), path, nullptr);
}

bool ReleasePath(ASFileSys fileSys, ASPathName pathName) {
  return Guarded([&] { ASFileSysReleasePath(fileSys, pathName); });
}

// Inside a guard: the named table at `minimum` or later, and its version; 0
// when it cannot be had.
void FindTable(const char* name, uint32_t minimum, HFT& table, uint32_t& version) {
  ASAtom atom = ASAtomFromString(name);
  // The version query lives in "AcroSupport" from 6.0 on.
  if (CurrentTableBlock()->slots[kAcroSupportVersionSlot] >= 0x60000) {
    table = ASExtensionMgrGetHFT(atom, minimum);
    if (table) {
      uint32_t v = HFTGetVersion(table);
      if (v != kUnknownVersion) {
        version = v;
        return;
      }
    }
  }
  for (uint32_t candidate : kFallbackVersions) {
    if (candidate < minimum) {
      if (table)
        version = candidate;
      return;
    }
    table = ASExtensionMgrGetHFT(atom, candidate);
    if (table) {
      version = candidate;
      return;
    }
  }
}

}  // namespace

VTPDF::VTPDF()
    : cmapDirectory(),
      fontDirectories(),
      libraryStarted(false),
      unicodeDirectory(),
      fontDirectoryList{fontDirectories[0], fontDirectories[1]} {
  libraryStarted = StartLibrary() == 0;
}

VTPDF::~VTPDF() {
  // A raise while ending is lost: the call's work is done.
  if (libraryStarted) {
    LibraryLock lock;
    EndLibrary();
  }
}

uint32_t VTPDF::StartLibrary() {
  PDFLInitRecord record;
  std::memset(&record, 0, sizeof record);
  record.size = sizeof record;
  record.flags = kPDFLInitFlags;
  PathString directory;
  bool found = GetExecutableDirectory(directory) == 0;
  record.fontDirCount = found ? BuildFontDirectories(directory) : -1;
  record.fontDirList = fontDirectoryList;
  record.cmapDirectory = found ? BuildCMapDirectory(directory) : nullptr;
  record.unicodeDirectory = found ? BuildUnicodeDirectory(directory) : nullptr;

  {
    LibraryLock lock;
    int32_t code = PDFLInit(&record);
    if (code != 0)
      return code;
    if (PDFLInitThreadLocalData(&TableBlockIndex, sizeof(TableBlock)) == 0)
      return 1;
  }

  TableBlock* block = CurrentTableBlock();
  block->slots[kCoreSlot] = reinterpret_cast<uintptr_t>(PDFLGetCoreHFT());
  block->slots[kCoreVersionSlot] = 0x20000;
  // With "Core" in place, the calls below can run inside guards.
  bool asked = Guarded([&] {
    HFT acroSupport = ASExtensionMgrGetHFT(ASAtomFromString("AcroSupport"), 0x60000);
    block->slots[kAcroSupportSlot] = reinterpret_cast<uintptr_t>(acroSupport);
    if (acroSupport) {
      block->slots[kAcroSupportVersionSlot] = 0x60000;
      block->slots[kAcroSupportVersionSlot] = HFTGetVersion(acroSupport);
    }
  });
  if (!asked)
    return 1;

  for (const TableRequest& table : kTables) {
    if (!AcquireTable(table.name, table.minimum, table.tableSlot, table.versionSlot))
      return 1;
  }
  return 0;
}

bool VTPDF::AcquireTable(const char* name, uint32_t minimum, int tableSlot, int versionSlot) {
  HFT table = nullptr;
  uint32_t version = 0;
  // A raise counts as the table missing.
  if (!Guarded([&] { FindTable(name, minimum, table, version); })) {
    table = nullptr;
    version = 0;
  }

  TableBlock* block = CurrentTableBlock();
  block->slots[tableSlot] = reinterpret_cast<uintptr_t>(table);
  block->slots[versionSlot] = version;
  if (version == 0) {
    SendDebugLine("failed on %s version %s%x\n", name, (minimum & kBetaVersionBit) ? "(beta)" : "",
                  minimum & ~kBetaVersionBit);
  }
  return version != 0;
}

uint32_t VTPDF::GetExecutableDirectory(PathString& directory) {
  directory.clear();
  PathString path;
  uint32_t error = GetExecutablePath(path);
  if (error != 0)
    return error;
  size_t cut = path.rfind(kPathSeparator);
  if (cut != PathString::npos)
    directory = path.substr(0, cut);
  return 0;
}

int32_t VTPDF::BuildFontDirectories(const PathString& directory) {
  int32_t count = 0;
  PathString font = ResourcePath(directory, "Font");
  if (FindEntry(font.c_str(), nullptr)) {
    if (!CopyPath(font, fontDirectories[count]))
      return -1;
    ++count;
  }
  // The CMap directory always ends the list.
  if (!CopyPath(ResourcePath(directory, "CMap"), fontDirectories[count]))
    return -1;
  return count + 1;
}

PathChar* VTPDF::BuildCMapDirectory(const PathString& directory) {
  return CopyPath(ResourcePath(directory, "CMap"), cmapDirectory) ? cmapDirectory : nullptr;
}

PathChar* VTPDF::BuildUnicodeDirectory(const PathString& directory) {
  return CopyPath(ResourcePath(directory, "Unicode"), unicodeDirectory) ? unicodeDirectory
                                                                        : nullptr;
}

PDDoc VTPDF::OpenDocument(const PathChar* path) {
  ASFileSys fileSys = nullptr;
  ASPathName pathName = nullptr;
  PDDoc document = nullptr;
  Guarded([&] {
    fileSys = ASGetDefaultFileSys();
    pathName = CreatePathName(fileSys, path);
    document = PDDocOpen(pathName, nullptr, nullptr, 1);
  });

  if (document) {
    // Both requests must be granted: the tag changes the document's metadata.
    bool granted = false;
    Guarded([&] {
      granted = PDDocPermRequest(document, kPDPermDocument, kPDPermModify, "") != -1 &&
                PDDocPermRequest(document, kPDPermDocument, kPDPermModifyMetadata, "") != -1;
    });
    if (!granted) {
      CloseDocument(document);
      document = nullptr;
    }
  }

  // A raise while releasing the path object fails the open too: nothing has
  // changed yet, and a library in that state is not to write the file.
  if (pathName && !ReleasePath(fileSys, pathName) && document) {
    CloseDocument(document);
    document = nullptr;
  }
  return document;
}

bool VTPDF::SaveDocument(PDDoc document, const PathChar* path, bool linearize) {
  ASFileSys fileSys = nullptr;
  ASPathName pathName = nullptr;
  bool saved = Guarded([&] {
    fileSys = ASGetDefaultFileSys();
    pathName = CreatePathName(fileSys, path);
    int16_t major = 0;
    int16_t minor = 0;
    PDDocGetVersion(document, &major, &minor);
    bool objectStreams = major > 1 || (major == 1 && minor >= 5);

    PDDocSaveParams params;
    std::memset(&params, 0, sizeof params);
    params.size = sizeof params;
    params.saveFlags = kPDSaveFull | kPDSaveCollectGarbage | kPDSaveKeepModDate;
    if (linearize)
      params.saveFlags |= kPDSaveLinearized;
    params.newPath = pathName;
    params.majorVersion = major;
    params.minorVersion = minor;
    params.setVersion = 1;
    params.saveFlags2 = kPDSave2KeepEncryption | kPDSave2NewlineBeforeEndstream |
                        (objectStreams ? kPDSave2Compressed : kPDSave2Uncompressed);
    PDDocSaveWithParams(document, &params);
  });
  // The file is written by now, and a raise while releasing the path object
  // cannot undo that: the result stays the save's.
  if (pathName)
    ReleasePath(fileSys, pathName);
  return saved;
}

bool VTPDF::CloseDocument(PDDoc document) {
  return Guarded([&] { PDDocClose(document); });
}
