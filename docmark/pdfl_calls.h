// The PDF library's operations, each called through the calling thread's
// table block at its table's slot and its selector. Every operation may raise
// (out of memory, a bad handle), so each call runs inside the error guard
// (error_guard.h).
#ifndef DOCMARK_PDFL_CALLS_H
#define DOCMARK_PDFL_CALLS_H

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

// kNameSlot and kNameVersionSlot of each table.
#define PDFL_TABLE(Name, Index) \
  enum : int { k##Name##Slot = Index, k##Name##VersionSlot = Index + 1 };
#include "pdfl/operations.def"

// The entry at `selector` of the table in `slot` of the calling thread's block.
HFTEntry TableEntry(int slot, int selector);

// A call of the operation whose signature is Proc, at `selector` of the table
// in `slot`.
template <int Slot, int Selector, typename Proc>
struct Operation;

template <int Slot, int Selector, typename Result, typename... Parameters>
struct Operation<Slot, Selector, Result (*)(Parameters...)> {
  static Result Call(Parameters... parameters) {
    return reinterpret_cast<Result (*)(Parameters...)>(TableEntry(Slot, Selector))(parameters...);
  }
};

// Each operation under its own name: ASAtomFromString("Core"), ...
#define PDFL_OPERATION(Table, Selector, Name, Result, Parameters) \
  inline constexpr auto& Name = Operation<k##Table##Slot, k##Name##Sel, Name##Proc>::Call;
#include "pdfl/operations.def"

#endif
