// The probe of a file's size, as a search for exactly its path.
#ifndef DOCMARK_OS_FILE_PROBE_H
#define DOCMARK_OS_FILE_PROBE_H

#include <cstdint>

#include "path.h"

// True when the search finds an entry. The entry's 64-bit size goes to
// *size when size is not null. The thread's last error stays as it was.
bool FindEntry(const PathChar* path, int64_t* size);

#endif
