// The Windows shell's wildcard match, for platforms that lack it: the whole
// name is matched, case-insensitively; '*' matches any run of characters
// (dots included), '?' exactly one; "*.*" alone matches every name.
#ifndef WALKEXEC_OS_WILDCARD_H
#define WALKEXEC_OS_WILDCARD_H

#include <string>

namespace os {

bool wildcardMatch(const std::wstring& name, const std::wstring& pattern);

// A ';'-separated list of patterns, blanks skipped at the start of each:
// true when any of them matches.
bool wildcardMatchList(const std::wstring& name, const std::wstring& patterns);

}  // namespace os

#endif
