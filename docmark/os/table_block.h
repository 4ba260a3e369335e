// The calling thread's block of the PDF library's function tables, at the
// thread-local index that the library's thread-data call stored.
#ifndef DOCMARK_OS_TABLE_BLOCK_H
#define DOCMARK_OS_TABLE_BLOCK_H

struct TableBlock;

// The block at the index in TableBlockIndex.
TableBlock* CurrentTableBlock();

#endif
