#include "wildcard.h"

#include <clocale>
#include <cwctype>

namespace os {

namespace {

// Upper-casing beyond ASCII needs a UTF-8 character table; the process
// locale is left alone.
wchar_t upper(wchar_t c) {
  static locale_t table = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
  return table ? towupper_l(c, table) : towupper(c);
}

}  // namespace

bool wildcardMatch(const std::wstring& name, const std::wstring& pattern) {
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

bool wildcardMatchList(const std::wstring& name, const std::wstring& patterns) {
  size_t begin = 0;
  for (;;) {
    while (begin < patterns.size() && patterns[begin] == L' ')
      ++begin;
    size_t end = patterns.find(L';', begin);
    if (wildcardMatch(name, patterns.substr(begin, end - begin)))
      return true;
    if (end == std::wstring::npos)
      return false;
    begin = end + 1;
  }
}

}  // namespace os
