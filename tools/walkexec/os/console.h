// What walkexec itself writes to its standard output and error.
#ifndef WALKEXEC_OS_CONSOLE_H
#define WALKEXEC_OS_CONSOLE_H

#include <cstddef>
#include <string>

namespace os {

// Writes wide text to standard error.
void writeError(const std::wstring& text);

// Writes the bytes to standard output (1) or error (2) as they are. Returns
// 0, or the C runtime error number of a write that failed (EPIPE for a
// closed pipe), whose bytes are dropped.
int writeStandard(int stream, const char* data, size_t size);

}  // namespace os

#endif
