// The shell's match of a long file name against a wildcard pattern.
#ifndef WALKEXEC_OS_SHELL_MATCH_H
#define WALKEXEC_OS_SHELL_MATCH_H

#include <string>

namespace os {

// The shell's match of a long file name against a pattern (or a
// ';'-separated list of patterns).
bool shellMatch(const std::wstring& name, const std::wstring& patterns);

}  // namespace os

#endif
