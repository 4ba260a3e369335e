// How a path goes into the command interpreter's line.
#ifndef WALKEXEC_OS_QUOTING_H
#define WALKEXEC_OS_QUOTING_H

#include <string>

namespace os {

// A path as one literal word of the command interpreter's line.
std::wstring quotePath(const std::wstring& path);

}  // namespace os

#endif
