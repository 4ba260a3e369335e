// Paths as the file system takes them, and files opened by them for reading.
#ifndef PDFL_OS_NATIVE_PATH_H
#define PDFL_OS_NATIVE_PATH_H

#include <cstdio>
#include <string>

namespace pdfl {

// A path as the file system takes it: on Windows the caller's UTF-16 as it
// is; on POSIX bytes, UTF-8 with each escaped byte (U+DC80 to U+DCFF) restored.
#ifdef _WIN32
using NativePath = std::wstring;
#else
using NativePath = std::string;
#endif

// False when the units name no file.
bool ToNativePath(const std::u16string& units, NativePath& path);

// Opens a file for reading in binary, shared so that a save can replace it
// while it is open; null when it cannot be opened.
FILE* OpenForReading(const NativePath& path);

}  // namespace pdfl

#endif
