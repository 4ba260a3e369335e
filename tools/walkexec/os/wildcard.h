// The Windows shell's wildcard match, for platforms that lack it: the whole
// name is matched, case-insensitively; '*' matches any run of characters
// (dots included), '?' exactly one; "*.*" alone matches every name.
#ifndef PLATFORM_SYSTEM_WILDCARD_H
#define PLATFORM_SYSTEM_WILDCARD_H

#include <string>

namespace platform {

bool wildcardMatch(const std::wstring& name, const std::wstring& pattern);

// A ';'-separated list of patterns, blanks skipped at the start of each:
// true when any of them matches.
bool wildcardMatchList(const std::wstring& name, const std::wstring& patterns);

}  // namespace platform

#endif
