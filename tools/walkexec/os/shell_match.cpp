#include "shell_match.h"

#include "directory_search.h"

namespace os {

namespace {

// Most names are ASCII: those need no call to the system.
wchar_t upper(wchar_t c) {
  if (c < 0x80)
    return c >= L'a' && c <= L'z' ? c - L'a' + L'A' : c;
  return shellUpper(c);
}

}  // namespace

bool shellMatch(const std::wstring& name, const std::wstring& pattern) {
  if (pattern == L"*.*")
    return true;
  size_t n = 0, p = 0;
  // Where to resume after the last '*': the pattern after it and the name
  // position it has swallowed up to.
  size_t starPattern = std::wstring::npos, starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == L'*') {
      starPattern = ++p;
      starName = n;
    } else if (p < pattern.size() && (pattern[p] == L'?' || upper(pattern[p]) == upper(name[n]))) {
      ++p;
      ++n;
    } else if (starPattern != std::wstring::npos) {
      p = starPattern;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*')
    ++p;
  return p == pattern.size();
}

bool namesCanMatch(const std::wstring& pattern) {
  for (wchar_t c : pattern)
    if (isPathSeparator(c))
      return false;
  return !pattern.empty();
}

}  // namespace os
