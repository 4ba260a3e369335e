// Text at the system's boundary. On POSIX names and arguments are bytes and
// wchar_t is UTF-32: a byte that is not part of valid UTF-8 decodes to
// U+DC00+byte and encodes back to the same byte, so every file name
// round-trips.
#ifndef WALKEXEC_OS_TEXT_H
#define WALKEXEC_OS_TEXT_H

#include <string>

namespace os {

// UTF-16 code units, little-endian, with surrogate pairs above U+FFFF.
std::string utf16leBytes(const std::wstring& text);

#ifndef _WIN32
std::wstring decodeUtf8(const std::string& bytes);
std::string encodeUtf8(const std::wstring& text);
#endif

}  // namespace os

#endif
