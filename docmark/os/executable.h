// The running process's executable: the host program, not this library,
// beside which the PDF library's resource folders lie.
#ifndef DOCMARK_OS_EXECUTABLE_H
#define DOCMARK_OS_EXECUTABLE_H

#include <cstdint>

#include "path.h"

// Its full path. Returns 0, or the system's error code with `path` empty;
// the thread's last error stays as it was.
uint32_t GetExecutablePath(PathString& path);

#endif
