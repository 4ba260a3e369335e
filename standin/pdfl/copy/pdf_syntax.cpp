#include "copy/pdf_syntax.h"

#include <charconv>

namespace pdfl {

namespace {

// What each byte is to PDF, by table: the scans ask it of every byte of
// every object.
enum ByteClass : unsigned char { kRegular, kWhite, kDelimiter };

struct ByteClasses {
  ByteClass of[256];
  ByteClasses() : of() {
    for (unsigned char c : std::string_view(" \n\r\t\f\0", 6))
      of[c] = kWhite;
    for (unsigned char c : std::string_view("()<>[]{}/%"))
      of[c] = kDelimiter;
  }
};

const ByteClasses kClasses;

ByteClass ClassOf(char c) {
  return kClasses.of[static_cast<unsigned char>(c)];
}

int HexValue(char c) {
  if (IsDigit(c))
    return c - '0';
  return (c | 0x20) - 'a' + 10;
}

}  // namespace

bool IsWhite(char c) {
  return ClassOf(c) == kWhite;
}

bool IsDelimiter(char c) {
  return ClassOf(c) == kDelimiter;
}

bool IsRegular(char c) {
  return ClassOf(c) == kRegular;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

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

}  // namespace pdfl
