#include "quoting.h"

namespace os {

std::wstring quotePath(const std::wstring& path) {
  return L"\"" + path + L"\"";
}

}  // namespace os
