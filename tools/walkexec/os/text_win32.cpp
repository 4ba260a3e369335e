#include "text.h"

namespace os {

// wchar_t is already UTF-16 there.
std::string utf16leBytes(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

}  // namespace os
