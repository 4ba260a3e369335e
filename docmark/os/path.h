// Paths as docmark passes them to the system and the PDF library: UTF-16
// units (wchar_t on Windows, char16_t elsewhere), cut and joined at the
// native separator.
#ifndef DOCMARK_OS_PATH_H
#define DOCMARK_OS_PATH_H

#include <string>

#include "pdfl/pdfl.h"

typedef PDFLPathChar PathChar;
typedef std::basic_string<PathChar> PathString;

#ifdef _WIN32
inline constexpr PathChar kPathSeparator = L'\\';
#else
inline constexpr PathChar kPathSeparator = u'/';
#endif

#endif
