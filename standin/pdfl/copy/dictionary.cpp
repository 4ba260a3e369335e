#include "copy/dictionary.h"

#include <algorithm>

#include "copy/not_copyable.h"
#include "copy/pdf_syntax.h"

namespace pdfl {

const std::vector<Token>& Dictionary::Value(const std::string& key) const {
  auto value = values.find(key);
  Require(value != values.end());
  return value->second;
}

int Depth(Kind kind) {
  return kind == Kind::kOpen ? 1 : kind == Kind::kClose ? -1 : 0;
}

std::vector<Token> DictionaryTokens(TokenReader& reader, Token open) {
  Require(open.OpensDictionary());
  std::vector<Token> tokens{std::move(open)};
  for (int depth = 1; depth > 0;) {
    tokens.push_back(reader.Next());
    depth += Depth(tokens.back().kind);
  }
  Require(tokens.back().raw == ">>");
  return tokens;
}

Dictionary DictionaryOf(const std::vector<Token>& tokens) {
  Require(tokens.size() >= 2 && tokens.front().OpensDictionary() && tokens.back().raw == ">>");
  Dictionary dictionary;
  std::vector<Token>* value = nullptr;
  bool valueDone = false;
  int depth = 0;
  for (size_t i = 1; i + 1 < tokens.size(); ++i) {
    const Token& token = tokens[i];
    // The generation and R of a reference continue an integer value.
    bool continues = valueDone && (token.kind == Kind::kInteger || token.IsWord("R"));
    if (depth == 0 && (!value || valueDone) && !continues) {
      Require(token.kind == Kind::kName);
      value = &dictionary.values[NameValue(token.raw)];
      value->clear();
      valueDone = false;
      continue;
    }
    Require(value != nullptr);
    value->push_back(token);
    depth += Depth(token.kind);
    Require(depth >= 0);
    valueDone = depth == 0;
  }
  Require(depth == 0);
  return dictionary;
}

Dictionary ReadDictionary(TokenReader& reader) {
  return DictionaryOf(DictionaryTokens(reader, reader.Next()));
}

int64_t IntegerValue(const Dictionary& dictionary, const std::string& key) {
  const std::vector<Token>& value = dictionary.Value(key);
  Require(value.size() == 1 && value[0].kind == Kind::kInteger);
  return ParseInteger(value[0].raw);
}

std::string EntriesText(const Dictionary& dictionary, std::initializer_list<const char*> except) {
  std::string text;
  for (const auto& [key, value] : dictionary.values) {
    if (std::find(except.begin(), except.end(), key) != except.end())
      continue;
    text += " " + NameText(key);
    for (const Token& token : value)
      text += " " + token.raw;
  }
  return text;
}

}  // namespace pdfl
