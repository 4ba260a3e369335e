// The calling thread's block of function tables, which the library makes at
// its thread-data call and frees when it ends on that thread.
#ifndef PDFL_OS_THREAD_BLOCK_H
#define PDFL_OS_THREAD_BLOCK_H

#include <cstdint>

namespace pdfl {

// Makes a zero-filled block of `size` bytes the calling thread's table block,
// freeing the one it had, and stores the thread-local index into *index.
bool NewThreadBlock(uint32_t size, uint32_t* index);
// Frees the calling thread's table block, if it has one.
void FreeThreadBlock();

}  // namespace pdfl

#endif
