// UTF-8 for the POSIX side of the kit. File names and arguments there are
// bytes, while the kit's text is UTF-16 (char16_t, or wchar_t on Windows) or
// UTF-32 (wchar_t on Linux). The lossless pair takes valid UTF-8 to its code
// points and every other byte b (always 0x80 to 0xFF) to the lone surrogate
// U+DC00 + b, and back, so every name round-trips byte for byte. This is
// Python's "surrogateescape", so hosts and log readers in other languages get
// the same bytes back.
#ifndef PLATFORM_UNICODE_UTF8_H
#define PLATFORM_UNICODE_UTF8_H

#include <cstddef>
#include <string>

namespace utf8 {

const char32_t kEscapeBase = 0xDC00;  // + a byte from 0x80 to 0xFF

inline bool IsEscape(char32_t c) {
  return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
}

// Length of the valid UTF-8 sequence at bytes[i], with its value in c; 0 when
// the sequence is truncated, overlong, a surrogate or above U+10FFFF.
inline size_t DecodeOne(const std::string& bytes, size_t i, char32_t& c) {
  unsigned char lead = bytes[i];
  size_t length;
  char32_t least;
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, c = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, c = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, c = lead & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (bytes.size() - i < length)
    return 0;
  for (size_t k = 1; k < length; ++k) {
    unsigned char next = bytes[i + k];
    if ((next & 0xC0) != 0x80)
      return 0;
    c = (c << 6) | (next & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
    return 0;
  return length;
}

inline void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Appends a code point as one unit, or as a surrogate pair where the units
// are 16 bits wide.
template <class Text>
void AppendUnit(Text& out, char32_t c) {
  using Unit = typename Text::value_type;
  if (sizeof(Unit) == 2 && c >= 0x10000) {
    out += static_cast<Unit>(0xD800 + ((c - 0x10000) >> 10));
    out += static_cast<Unit>(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    out += static_cast<Unit>(c);
  }
}

// The code point at text[i] (a surrogate pair counts as one) and moves past it.
template <class Text>
char32_t NextCodePoint(const Text& text, size_t& i) {
  char32_t c = static_cast<char32_t>(text[i++]);
  if (c >= 0xD800 && c <= 0xDBFF && i < text.size()) {
    char32_t low = static_cast<char32_t>(text[i]);
    if (low >= 0xDC00 && low <= 0xDFFF) {
      ++i;
      return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
    }
  }
  return c;
}

template <class Text>
Text DecodeLossless(const std::string& bytes) {
  Text text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size();) {
    char32_t c;
    size_t length = DecodeOne(bytes, i, c);
    if (length == 0) {
      c = kEscapeBase + static_cast<unsigned char>(bytes[i]);
      length = 1;
    }
    AppendUnit(text, c);
    i += length;
  }
  return text;
}

// False when the text holds a surrogate that is neither paired nor an escape:
// such a unit has no byte form.
template <class Text>
bool HasByteForm(const Text& text) {
  for (size_t i = 0; i < text.size();) {
    char32_t c = NextCodePoint(text, i);
    if (c >= 0xD800 && c <= 0xDFFF && !IsEscape(c))
      return false;
  }
  return true;
}

// A surrogate without a byte form is written as its three-byte pattern.
template <class Text>
std::string EncodeLossless(const Text& text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t c = NextCodePoint(text, i);
    if (IsEscape(c))
      bytes += static_cast<char>(c - kEscapeBase);
    else
      AppendUtf8(bytes, c);
  }
  return bytes;
}

}  // namespace utf8

#endif
