#include "windows_text.h"

#include <windows.h>

#include <string_view>

#include "utf8.h"
#include "win_path.h"

std::wstring WidePath(const std::string& path) {
  return winpath::ForFileCall(utf8::DecodeLossless<std::wstring>(path));
}

std::string SystemMessage(unsigned long error) {
  wchar_t* reason = nullptr;
  DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&reason), 0, nullptr);
  std::string text = length ? utf8::EncodeLossless(std::wstring_view(reason, length))
                            : "error " + std::to_string(error);
  if (reason)
    LocalFree(reason);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
    text.pop_back();
  return text;
}
