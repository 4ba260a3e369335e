// A dictionary as the copy reads it from the file: each value at its top
// level as the tokens that write it ("n g R" for a reference, brackets and
// all for an array), so that a value can be replaced where it stands.
#ifndef PDFL_COPY_DICTIONARY_H
#define PDFL_COPY_DICTIONARY_H

#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "copy/lexer.h"

namespace pdfl {

struct Dictionary {
  std::map<std::string, std::vector<Token>> values;  // by name, slash and all

  bool Has(const std::string& key) const { return values.count(key) != 0; }
  const std::vector<Token>& Value(const std::string& key) const;
};

// Whether the token opens or closes a dictionary or an array.
int Depth(Kind kind);

// The tokens of one dictionary, from its "<<" (given) through its ">>".
std::vector<Token> DictionaryTokens(TokenReader& reader, Token open);
// The dictionary that `tokens` spell, "<<" and ">>" included.
Dictionary DictionaryOf(const std::vector<Token>& tokens);
Dictionary ReadDictionary(TokenReader& reader);

int64_t IntegerValue(const Dictionary& dictionary, const std::string& key);

// The dictionary's entries as written, but those named, each after a space:
// the entries of a dictionary written anew.
std::string EntriesText(const Dictionary& dictionary, std::initializer_list<const char*> except);

}  // namespace pdfl

#endif
