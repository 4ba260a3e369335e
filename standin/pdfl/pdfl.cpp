// The entry points, the library's start and end, and its function tables.
#include "pdfl/pdfl.h"

#include "atoms.h"
#include "document.h"
#include "errors.h"
#include "hooks.h"
#include "metadata.h"
#include "operations.h"
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

enum TableId : int {
#define PDFL_TABLE(Name, Slot) k##Name##Table,
#include "pdfl/operations.def"
};

struct Placement {
  TableId table;
  int selector;
};

constexpr Placement kPlacements[] = {
#define PDFL_OPERATION(In, Selector, Name, Result, Parameters) {k##In##Table, Selector},
#include "pdfl/operations.def"
};

// One past the table's highest selector; a table whose operations nobody
// calls is offered all the same, with one empty entry.
constexpr int TableSize(TableId table) {
  int size = 1;
  for (const Placement& placement : kPlacements) {
    if (placement.table == table && placement.selector >= size)
      size = placement.selector + 1;
  }
  return size;
}

#define PDFL_TABLE(Name, Slot) HFTEntry Name##Table[TableSize(k##Name##Table)];
#include "pdfl/operations.def"

struct NamedTable {
  const char* name;
  HFT table;
};

const NamedTable kTables[] = {
#define PDFL_TABLE(Name, Slot) {#Name, Name##Table},
#include "pdfl/operations.def"
};

void FillTables() {
#define PDFL_OPERATION(In, Selector, Name, Result, Parameters) \
  In##Table[k##Name##Sel] = Row<Name##Proc>(Name);
#include "pdfl/operations.def"
}

[[maybe_unused]] const bool tablesFilled = (FillTables(), true);

}  // namespace

HFT ASExtensionMgrGetHFT(ASAtom name, uint32_t version) {
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

uint32_t HFTGetVersion(HFT hft) {
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
void PDFLTerm() {
  Entry("PDFLTerm", [&] {
    CurrentHooks().Count(Event::kEnded);
    CloseThreadDocuments();
    DestroyThreadTexts();
    ReleaseThreadPaths();
    DropFrames();
    FreeThreadBlock();
  });
}

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
  return pdfl::CoreTable;
}

}  // extern "C"
