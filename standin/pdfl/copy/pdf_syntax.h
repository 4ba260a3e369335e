// PDF's lexical rules, written once: which bytes are white space, which
// delimit tokens or end a line, and how a decimal number is written. The
// document reader, the file reader, the copy's lexer and its proof all ask
// these.
#ifndef PDFL_COPY_PDF_SYNTAX_H
#define PDFL_COPY_PDF_SYNTAX_H

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace pdfl {

// What each byte is to PDF, by table: the scans ask it of every byte of
// every object.
enum ByteClass : unsigned char { kRegular, kWhite, kDelimiter };
extern const std::array<ByteClass, 256> kByteClasses;

// White space: NUL, tab, line feed, form feed, carriage return and space.
inline bool IsWhite(char c) {
  return kByteClasses[static_cast<unsigned char>(c)] == kWhite;
}
// The bytes that end a token and start another: ( ) < > [ ] { } / %.
inline bool IsDelimiter(char c) {
  return kByteClasses[static_cast<unsigned char>(c)] == kDelimiter;
}
// Neither white space nor a delimiter: a byte of a name, number or keyword.
inline bool IsRegular(char c) {
  return kByteClasses[static_cast<unsigned char>(c)] == kRegular;
}
// The bytes that end a line: carriage return and line feed.
inline bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}
inline bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsHexDigit(char c);

// A decimal integer with an optional sign, as a whole; false when the text
// is anything else or does not fit.
bool ToInteger(std::string_view text, int64_t& value);

// A name token's value: its slash, then its bytes, each #xx as the byte it
// codes.
std::string NameValue(std::string_view raw);
// A name's value written as a token: each byte that is not regular, and
// each #, as #xx.
std::string NameText(std::string_view value);

}  // namespace pdfl

#endif
