#include "exact_path.h"

#include "win_path.h"

namespace os {

namespace {

bool separator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

// Where the first name that Windows would trim starts, or npos; "." and
// ".." are names of their own.
size_t firstTrimmedName(const std::wstring& path) {
  for (size_t start = 0; start < path.size();) {
    size_t end = start;
    while (end < path.size() && !separator(path[end]))
      ++end;
    std::wstring name = path.substr(start, end - start);
    if (!name.empty() && name != L"." && name != L".." &&
        (name.back() == L'.' || name.back() == L' '))
      return start;
    start = end + 1;
  }
  return std::wstring::npos;
}

}  // namespace

// The part before that name is resolved as Windows resolves it; the rest
// is kept as it stands, with the long form's separators.
std::wstring exactPath(const std::wstring& path) {
  size_t trimmed = firstTrimmedName(path);
  if (trimmed == std::wstring::npos || path.compare(0, 4, L"\\\\?\\") == 0)
    return path;
  std::wstring full = winpath::Full(trimmed == 0 ? L"." : path.substr(0, trimmed));
  if (full.empty())
    return path;
  if (!separator(full.back()))
    full += L'\\';
  std::wstring rest = path.substr(trimmed);
  for (wchar_t& c : rest)
    if (c == L'/')
      c = L'\\';
  return winpath::LongForm(full + rest);
}

}  // namespace os
