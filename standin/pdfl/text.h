// UTF-8 and UTF-16 conversions, and the library's text objects (ASText): UTF-16
// with a UTF-8 copy made on request.
#ifndef PDFL_TEXT_H
#define PDFL_TEXT_H

#include <string>

#include "pdfl/pdfl.h"

struct PDFLText {
  std::u16string units;
  std::string utf8;  // filled by ASTextGetBytes
};

namespace pdfl {

// Text, not names: malformed input becomes U+FFFD.
std::u16string Utf8ToUtf16(const std::string& bytes);
std::string Utf16ToUtf8(const std::u16string& units);

// For the library's own use: a new text object the caller owns, and the
// UTF-8 of a caller's text (raises on an unknown handle).
ASText NewText(const std::u16string& units);
std::string TextUtf8(ASText text);
// Destroys the texts the calling thread made.
void DestroyThreadTexts();

}  // namespace pdfl

#endif
