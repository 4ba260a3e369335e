#include "table_block.h"

#include <windows.h>

#include "pdfl_calls.h"

TableBlock* CurrentTableBlock() {
  return static_cast<TableBlock*>(TlsGetValue(TableBlockIndex));
}
