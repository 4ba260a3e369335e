#include "error_text.h"

#include <windows.h>

#include <cstring>

namespace os {

std::wstring errorText(int error) {
  return _wcserror(error);
}

std::wstring systemErrorText(unsigned long error) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring result = length ? std::wstring(text, length) : L"error " + std::to_wstring(error);
  if (text)
    LocalFree(text);
  while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r'))
    result.pop_back();
  return result;
}

}  // namespace os
