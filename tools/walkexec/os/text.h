// Lossless text codecs for POSIX, where names are bytes and wchar_t is
// UTF-32: a byte that is not part of valid UTF-8 decodes to U+DC00+byte and
// encodes back to the same byte, so every file name round-trips.
#ifndef PLATFORM_SYSTEM_TEXT_H
#define PLATFORM_SYSTEM_TEXT_H

#include <string>

namespace platform {

std::wstring decodeUtf8(const std::string& bytes);
std::string encodeUtf8(const std::wstring& text);

// UTF-16 code units, little-endian, with surrogate pairs above U+FFFF.
std::string encodeUtf16le(const std::wstring& text);

}  // namespace platform

#endif
