// The process arguments as wide text.
#ifndef WALKEXEC_OS_ARGUMENTS_H
#define WALKEXEC_OS_ARGUMENTS_H

#include <string>
#include <vector>

namespace os {

// The process arguments, split and decoded as the C runtime's wide main
// would receive them.
std::vector<std::wstring> wideArguments(int argc, char* argv[]);

}  // namespace os

#endif
