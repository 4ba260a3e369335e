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

std::string NewIdentifier(const std::string& raw, std::mt19937& random) {
  std::string fresh = raw;
  static const char kHex[] = "0123456789abcdef";
  static const char kPlain[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  bool hex = raw[0] == '<';
  for (size_t i = 1; i + 1 < fresh.size(); ++i) {
    if (hex && IsWhite(fresh[i]))
      continue;
    fresh[i] = hex ? kHex[random() % 16] : kPlain[random() % (sizeof kPlain - 1)];
  }
  return fresh;
}

}  // namespace pdfl
