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

// A new second element with the same raw length as the old one, so that
// nothing moves: hex digits for a hex string, letters and digits otherwise.
std::string NewIdentifier(const std::string& raw, std::mt19937& random);

}  // namespace pdfl

#endif
