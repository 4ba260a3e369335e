#include "pdfl_calls.h"

#include "os/table_block.h"

thread_local uint32_t TableBlockIndex = 0;

HFTEntry TableEntry(int slot, int selector) {
  HFT table = reinterpret_cast<HFT>(CurrentTableBlock()->slots[slot]);
  return table[selector];
}
