#include "text.h"

namespace platform {

namespace {

const char32_t kEscapeBase = 0xDC80;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length and value of the valid UTF-8 sequence at bytes[i], or 0 when the
// sequence is invalid (truncated, overlong, a surrogate or above U+10FFFF).
size_t decodeOne(const std::string& bytes, size_t i, char32_t& value) {
  unsigned char lead = bytes[i];
  size_t length;
  char32_t minimum;
  if (lead < 0x80) {
    value = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (bytes.size() - i < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    unsigned char byte = bytes[i + k];
    if (!isContinuation(byte)) return 0;
    value = (value << 6) | (byte & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::wstring decodeUtf8(const std::string& bytes) {
  std::wstring text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    char32_t value;
    size_t length = decodeOne(bytes, i, value);
    if (length == 0) {
      text += wchar_t(kEscapeBase + static_cast<unsigned char>(bytes[i]));
      ++i;
    } else {
      text += wchar_t(value);
      i += length;
    }
  }
  return text;
}

std::string encodeUtf8(const std::wstring& text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (wchar_t c : text) {
    char32_t value = char32_t(c);
    if (value >= kEscapeBase + 0x80 && value <= kEscapeBase + 0xFF) {
      bytes += char(value - kEscapeBase);
    } else if (value < 0x80) {
      bytes += char(value);
    } else if (value < 0x800) {
      bytes += char(0xC0 | (value >> 6));
      bytes += char(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
      bytes += char(0xE0 | (value >> 12));
      bytes += char(0x80 | ((value >> 6) & 0x3F));
      bytes += char(0x80 | (value & 0x3F));
    } else {
      bytes += char(0xF0 | (value >> 18));
      bytes += char(0x80 | ((value >> 12) & 0x3F));
      bytes += char(0x80 | ((value >> 6) & 0x3F));
      bytes += char(0x80 | (value & 0x3F));
    }
  }
  return bytes;
}

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
