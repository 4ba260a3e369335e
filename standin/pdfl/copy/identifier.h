// The trailer's /ID: a full save keeps its first element and renews its
// second. The copy writes the new one over the old at the same length.
#ifndef PDFL_COPY_IDENTIFIER_H
#define PDFL_COPY_IDENTIFIER_H

#include <random>
#include <string>

#include "copy/dictionary.h"

namespace pdfl {

// The second element of the dictionary's /ID array, or null.
const Token* SecondIdentifier(const Dictionary& dictionary);

// A new second element written in the same bytes as the old one, coding as
// many bytes, so that nothing moves and the string keeps its length: new hex
// digits in a hex string, new bytes of the same escaping in a literal one.
std::string NewIdentifier(const std::string& raw, std::mt19937& random);

}  // namespace pdfl

#endif
