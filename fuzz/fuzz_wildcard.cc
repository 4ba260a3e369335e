// The shell's wildcard match: a name and a pattern, split at the first
// newline. Every name matches "*", and a name without wildcards matches
// itself, ';' and blanks included.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "shell_match.h"
#include "text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring text = os::decodeUtf8(std::string(reinterpret_cast<const char*>(data), size));
  size_t newline = text.find(L'\n');
  std::wstring name = text.substr(0, newline);
  std::wstring pattern = newline == std::wstring::npos ? L"*" : text.substr(newline + 1);
  os::shellMatch(name, pattern);
  if (!os::shellMatch(name, L"*"))
    std::abort();
  if (name.find_first_of(L"*?") == std::wstring::npos && !os::shellMatch(name, name))
    std::abort();
  return 0;
}
