#include "shell_match.h"

#include "wildcard.h"

namespace os {

bool shellMatch(const std::wstring& name, const std::wstring& patterns) {
  return wildcardMatchList(name, patterns);
}

}  // namespace os
