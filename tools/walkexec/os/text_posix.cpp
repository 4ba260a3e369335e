#include "text.h"

#include "utf8.h"

namespace os {

std::wstring decodeUtf8(const std::string& bytes) {
  return utf8::DecodeLossless<std::wstring>(bytes);
}

std::string encodeUtf8(const std::wstring& text) {
  return utf8::EncodeLossless(text);
}

std::string utf16leBytes(const std::wstring& text) {
  std::u16string units;
  for (wchar_t c : text)
    utf8::AppendUnit(units, char32_t(c));
  std::string bytes;
  bytes.reserve(units.size() * 2);
  for (char16_t unit : units) {
    bytes += char(unit & 0xFF);
    bytes += char(unit >> 8);
  }
  return bytes;
}

}  // namespace os
