// The copy of a run of a file's bytes into another file.
#ifndef PDFL_OS_BYTE_COPY_H
#define PDFL_OS_BYTE_COPY_H

#include <cstdint>
#include <cstdio>

namespace pdfl {

// Appends `length` bytes of `from`, starting at `offset`, to `to`: on Linux
// inside the kernel, as cp copies. Throws when they cannot all be copied.
void CopyBytes(FILE* from, int64_t offset, int64_t length, FILE* to);

}  // namespace pdfl

#endif
