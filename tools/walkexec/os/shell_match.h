// The Windows shell's match of a long file name against one wildcard
// pattern, the same on every system: the whole name is matched, without
// regard to case; '*' matches any run of characters (dots included), '?'
// exactly one, every other character itself; "*.*" alone matches every
// name. The pattern is taken as it stands: blanks and ';' are characters
// of it.
#ifndef WALKEXEC_OS_SHELL_MATCH_H
#define WALKEXEC_OS_SHELL_MATCH_H

#include <string>

namespace os {

bool shellMatch(const std::wstring& name, const std::wstring& pattern);

// False for a pattern that no file name can match: an empty one, or one
// that holds a path separator.
bool namesCanMatch(const std::wstring& pattern);

// The character in upper case, by the system's rules; names and patterns
// are compared so.
wchar_t shellUpper(wchar_t c);

}  // namespace os

#endif
