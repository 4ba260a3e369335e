// Whole-file reads and appends, for the logs: a line reaches a log whole or
// not at all, and a log is read back in one piece.
#ifndef WALKEXEC_OS_WHOLE_FILE_H
#define WALKEXEC_OS_WHOLE_FILE_H

#include <string>

namespace os {

// Appends the bytes to a file in one write, creating it if missing. The
// file gets all of them or, a short write being undone, none; false then,
// with the reason.
bool appendWhole(const std::wstring& path, const std::string& bytes, std::wstring& reason);

// Reads a whole regular file; a missing one reads as empty. False, with the
// reason, when it cannot be read or is no regular file (a pipe or a device
// may never end).
bool readWhole(const std::wstring& path, std::string& bytes, std::wstring& reason);

// Cuts a file to its first `size` bytes. False, with the reason, when it
// cannot.
bool truncateFile(const std::wstring& path, unsigned long long size, std::wstring& reason);

}  // namespace os

#endif
