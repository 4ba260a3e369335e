// The Windows shell's wildcard match of a long file name, for POSIX: the whole
// name, case-insensitively; '*' matches any run of characters (empty, dots
// included), '?' exactly one; letters beyond ASCII are upper-cased by the
// LC_CTYPE locale, so callers set a UTF-8 one; the pattern "*.*" alone matches every name.
#ifndef SYSTEM_WILDCARD_H
#define SYSTEM_WILDCARD_H

#include <string>

bool MatchWildcard(const std::wstring& name, const std::wstring& pattern);

// A ';'-separated list of patterns, blanks skipped at the start of each.
bool MatchWildcardList(const std::wstring& name, const std::wstring& patterns);

#endif
