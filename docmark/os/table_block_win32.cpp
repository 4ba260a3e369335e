#include "table_block.h"

#include <windows.h>

#include "last_error.h"
#include "pdfl_calls.h"

TableBlock* CurrentTableBlock() {
  lasterror::Keep keep;  // TlsGetValue clears it
  return static_cast<TableBlock*>(TlsGetValue(TableBlockIndex));
}
