#include "copy/identifier.h"

#include "copy/not_copyable.h"
#include "copy/pdf_syntax.h"

namespace pdfl {

const Token* SecondIdentifier(const Dictionary& dictionary) {
  if (!dictionary.Has("/ID"))
    return nullptr;
  const std::vector<Token>& id = dictionary.Value("/ID");
  Require(id.size() == 4 && id[1].kind == Kind::kString && id[2].kind == Kind::kString &&
          id[2].raw.size() >= 2);
  return &id[2];
}

namespace {

const char kHex[] = "0123456789abcdef";
const char kPlain[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

char Random(const char* from, size_t count, std::mt19937& random) {
  return from[random() % count];
}

// A literal string's bytes between its parentheses, each byte it codes
// given a new value written in as many bytes: a plain byte as a letter or
// digit, an escape as another escape of its length. What codes no byte of
// its own (a line end, a nested parenthesis) stays, so that the string
// keeps its length whatever its bytes.
void RenewLiteral(std::string& fresh, std::mt19937& random) {
  for (size_t i = 1; i + 1 < fresh.size(); ++i) {
    char c = fresh[i];
    if (c == '(' || c == ')' || IsLineEnd(c))
      continue;
    if (c != '\\') {
      fresh[i] = Random(kPlain, sizeof kPlain - 1, random);
      continue;
    }
    char next = fresh[++i];
    if (IsLineEnd(next))
      continue;  // a line continued
    if (!IsDigit(next) || next > '7') {
      fresh[i] = Random("nrtbf", 5, random);
      continue;
    }
    size_t digits = 1;
    while (digits < 3 && i + digits + 1 < fresh.size() && fresh[i + digits] >= '0' &&
           fresh[i + digits] <= '7')
      ++digits;
    for (size_t d = 0; d < digits; ++d)
      fresh[i + d] = Random(kHex, d == 0 && digits == 3 ? 4 : 8, random);
    i += digits - 1;
  }
}

}  // namespace

std::string NewIdentifier(const std::string& raw, std::mt19937& random) {
  std::string fresh = raw;
  if (raw[0] == '(') {
    RenewLiteral(fresh, random);
    return fresh;
  }
  for (size_t i = 1; i + 1 < fresh.size(); ++i) {
    if (!IsWhite(fresh[i]))
      fresh[i] = Random(kHex, 16, random);
  }
  return fresh;
}

}  // namespace pdfl
