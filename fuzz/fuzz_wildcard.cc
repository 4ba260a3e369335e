// The shell's wildcard match: a name and a pattern list, split at the first
// newline. A name always matches itself when it holds no wildcard or ';'.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "text.h"
#include "wildcard.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::wstring text = os::decodeUtf8(std::string(reinterpret_cast<const char*>(data), size));
  size_t newline = text.find(L'\n');
  std::wstring name = text.substr(0, newline);
  std::wstring patterns = newline == std::wstring::npos ? L"*" : text.substr(newline + 1);
  os::wildcardMatch(name, patterns);
  os::wildcardMatchList(name, patterns);
  if (!name.empty() && name.find_first_of(L"*?;") == std::wstring::npos &&
      !os::wildcardMatch(name, name))
    std::abort();
  return 0;
}
