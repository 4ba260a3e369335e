#include "text.h"

#include "utf8.h"

namespace platform {

std::wstring decodeUtf8(const std::string& bytes) {
  return utf8::DecodeLossless<std::wstring>(bytes);
}

std::string encodeUtf8(const std::wstring& text) { return utf8::EncodeLossless(text); }

std::string encodeUtf16le(const std::wstring& text) {
  std::string bytes;
  bytes.reserve(text.size() * 2);
  auto put = [&bytes](char32_t unit) {
    bytes += char(unit & 0xFF);
    bytes += char((unit >> 8) & 0xFF);
  };
  for (wchar_t c : text) {
    char32_t value = char32_t(c);
    if (value >= 0x10000) {
      value -= 0x10000;
      put(0xD800 + (value >> 10));
      put(0xDC00 + (value & 0x3FF));
    } else {
      put(value);
    }
  }
  return bytes;
}

}  // namespace platform
