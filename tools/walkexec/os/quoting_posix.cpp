#include "quoting.h"

namespace os {

// Single quotes keep every byte literal for /bin/sh; a quote inside is
// closed, escaped and reopened.
std::wstring quotePath(const std::wstring& path) {
  std::wstring quoted = L"'";
  for (wchar_t c : path) {
    if (c == L'\'')
      quoted += L"'\\''";
    else
      quoted += c;
  }
  return quoted + L"'";
}

}  // namespace os
