#include "copy/references.h"

#include <climits>

#include "copy/not_copyable.h"
#include "copy/pdf_syntax.h"

namespace pdfl {

int64_t ReferenceNumber(const TokenView& number, const TokenView& generation, const TokenView& r) {
  int64_t value = -1;
  if (!r.IsWord("R") || number.kind != Kind::kInteger || generation.kind != Kind::kInteger ||
      !ToInteger(number.text, value))
    return -1;
  return value >= 0 && value <= INT32_MAX ? value : -1;
}

void AddReferences(const std::vector<Token>& tokens, std::vector<int>* references) {
  if (!references)
    return;
  for (size_t i = 2; i < tokens.size(); ++i) {
    int64_t number = ReferenceNumber(tokens[i - 2].View(), tokens[i - 1].View(), tokens[i].View());
    if (number >= 0)
      references->push_back(static_cast<int>(number));
  }
}

void ReadReferences(std::string_view bytes, int from, std::vector<int>& references) {
  ByteLexer lexer(bytes, 0);
  // The two tokens before the current one.
  TokenView before[2];
  for (Kind kind; (kind = lexer.Next()) != Kind::kEnd;) {
    Require(kind != Kind::kBad);
    TokenView token{kind, lexer.text()};
    int64_t number = ReferenceNumber(before[0], before[1], token);
    if (number >= from)
      references.push_back(static_cast<int>(number));
    before[0] = before[1];
    before[1] = token;
  }
}

}  // namespace pdfl
