// PDF's lexical rules, written once: which bytes are white space, which
// delimit tokens, and how a decimal number is written. The document reader,
// the copy's lexer and its proof all ask these.
#ifndef PDFL_COPY_PDF_SYNTAX_H
#define PDFL_COPY_PDF_SYNTAX_H

#include <cstdint>
#include <string>
#include <string_view>

namespace pdfl {

// White space: NUL, tab, line feed, form feed, carriage return and space.
bool IsWhite(char c);
// The bytes that end a token and start another: ( ) < > [ ] { } / %.
bool IsDelimiter(char c);
// Neither white space nor a delimiter: a byte of a name, number or keyword.
bool IsRegular(char c);
bool IsDigit(char c);
bool IsHexDigit(char c);

// A decimal integer with an optional sign, as a whole; false when the text
// is anything else or does not fit.
bool ToInteger(std::string_view text, int64_t& value);

// A name token's value: its slash, then its bytes, each #xx as the byte it
// codes.
std::string NameValue(std::string_view raw);

}  // namespace pdfl

#endif
