// References as a reader finds them: "n g R", two integers and the keyword.
// A new object must take a number that no reference names, since a
// reference to an object the file lacks means null and must go on meaning it.
#ifndef PDFL_COPY_REFERENCES_H
#define PDFL_COPY_REFERENCES_H

#include <cstdint>
#include <string_view>
#include <vector>

#include "copy/lexer.h"

namespace pdfl {

// The object number of the reference the three tokens spell, or -1.
int64_t ReferenceNumber(const TokenView& number, const TokenView& generation, const TokenView& r);

// Adds the object number of each reference among `tokens`; nothing when
// `references` is null.
void AddReferences(const std::vector<Token>& tokens, std::vector<int>* references);

// Adds the object number of each reference in the bytes that names `from`
// or above to `references`: the objects of an object stream. The bytes must
// end with white space, so that their last token ends before them.
void ReadReferences(std::string_view bytes, int from, std::vector<int>& references);

}  // namespace pdfl

#endif
