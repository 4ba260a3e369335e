#include "copy/pdf_syntax.h"

#include <charconv>

namespace pdfl {

namespace {

constexpr std::array<ByteClass, 256> MakeClasses() {
  std::array<ByteClass, 256> of{};
  for (unsigned char c : {' ', '\n', '\r', '\t', '\f', '\0'})
    of[c] = kWhite;
  for (unsigned char c : {'(', ')', '<', '>', '[', ']', '{', '}', '/', '%'})
    of[c] = kDelimiter;
  return of;
}

int HexValue(char c) {
  if (IsDigit(c))
    return c - '0';
  return (c | 0x20) - 'a' + 10;
}

}  // namespace

const std::array<ByteClass, 256> kByteClasses = MakeClasses();

bool IsHexDigit(char c) {
  return IsDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
}

bool ToInteger(std::string_view text, int64_t& value) {
  if (!text.empty() && text[0] == '+')
    text.remove_prefix(1);
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

std::string NameValue(std::string_view raw) {
  std::string value = "/";
  for (size_t i = 1; i < raw.size(); ++i) {
    if (raw[i] == '#' && i + 2 < raw.size() && IsHexDigit(raw[i + 1]) && IsHexDigit(raw[i + 2])) {
      value += static_cast<char>(HexValue(raw[i + 1]) * 16 + HexValue(raw[i + 2]));
      i += 2;
    } else {
      value += raw[i];
    }
  }
  return value;
}

std::string NameText(std::string_view value) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string raw = "/";
  for (char c : value.substr(1)) {
    auto byte = static_cast<unsigned char>(c);
    if (IsRegular(c) && c != '#' && byte > ' ' && byte < 0x7f) {
      raw += c;
    } else {
      raw += '#';
      raw += kHex[byte >> 4];
      raw += kHex[byte & 15];
    }
  }
  return raw;
}

}  // namespace pdfl
