// How paths go into the command interpreter's line, and how long that line
// may grow.
#ifndef WALKEXEC_OS_QUOTING_H
#define WALKEXEC_OS_QUOTING_H

#include <cstddef>
#include <string>

namespace os {

// A path as one literal word of the command interpreter's line.
std::wstring quotePath(const std::wstring& path);

// The length of a command line as the system counts it.
size_t commandLineLength(const std::wstring& line);

// The longest command line that the system starts.
size_t longestCommandLine();

}  // namespace os

#endif
