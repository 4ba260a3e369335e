// Where held output goes once memory has taken its share.
#ifndef WALKEXEC_OS_TEMPORARY_FILE_H
#define WALKEXEC_OS_TEMPORARY_FILE_H

#include <cstdio>

namespace os {

// An anonymous temporary file, gone when closed and not inherited by the
// commands; null when none can be made.
std::FILE* temporaryFile();

}  // namespace os

#endif
