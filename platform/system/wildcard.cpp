#include "wildcard.h"

#include <cwctype>

namespace {

bool SameLetter(wchar_t a, wchar_t b) {
  return std::towupper(static_cast<wint_t>(a)) == std::towupper(static_cast<wint_t>(b));
}

}  // namespace

bool MatchWildcard(const std::wstring& name, const std::wstring& pattern) {
  if (pattern == L"*.*") return true;
  // Greedy walk that backtracks to the last '*': linear in practice, and
  // never recursive however many stars the pattern has.
  size_t n = 0, p = 0, starAt = std::wstring::npos, resumeAt = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == L'*') {
      starAt = p++;
      resumeAt = n;
    } else if (p < pattern.size() && (pattern[p] == L'?' || SameLetter(pattern[p], name[n]))) {
      ++p;
      ++n;
    } else if (starAt != std::wstring::npos) {
      p = starAt + 1;
      n = ++resumeAt;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

bool MatchWildcardList(const std::wstring& name, const std::wstring& patterns) {
  size_t start = 0;
  while (true) {
    size_t end = patterns.find(L';', start);
    std::wstring one = patterns.substr(start, end == std::wstring::npos ? end : end - start);
    size_t first = one.find_first_not_of(L' ');
    if (first != std::wstring::npos && MatchWildcard(name, one.substr(first))) return true;
    if (end == std::wstring::npos) return false;
    start = end + 1;
  }
}
