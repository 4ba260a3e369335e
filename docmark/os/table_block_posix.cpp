#include "table_block.h"

#include <pthread.h>

#include "pdfl_calls.h"

TableBlock* CurrentTableBlock() {
  return static_cast<TableBlock*>(pthread_getspecific(static_cast<pthread_key_t>(TableBlockIndex)));
}
