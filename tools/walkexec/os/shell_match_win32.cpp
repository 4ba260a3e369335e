#include "shell_match.h"

#include <shlwapi.h>

namespace os {

bool shellMatch(const std::wstring& name, const std::wstring& patterns) {
  return PathMatchSpecW(name.c_str(), patterns.c_str()) != FALSE;
}

}  // namespace os
