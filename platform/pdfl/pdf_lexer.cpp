#include "pdf_lexer.h"

#include <charconv>
#include <climits>

#include "document.h"

namespace pdfl {

void Require(bool condition) {
  if (!condition)
    throw NotCopyable();
}

int64_t ParseInteger(const std::string& text) {
  int64_t value = 0;
  const char* begin = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
  auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
  Require(error == std::errc() && end == text.data() + text.size());
  return value;
}

size_t Bytes(int64_t value) {
  Require(value >= 0 && static_cast<uint64_t>(value) <= SIZE_MAX);
  return static_cast<size_t>(value);
}

int ObjectNumber(int64_t value) {
  Require(value >= 0 && value <= INT32_MAX);
  return static_cast<int>(value);
}

qpdf_offset_t LengthOf(const std::string& bytes) {
  return static_cast<qpdf_offset_t>(bytes.size());
}

std::string ReadAt(InputSource& in, qpdf_offset_t at, size_t length) {
  std::string bytes(length, '\0');
  in.seek(at, SEEK_SET);
  size_t got = 0;
  for (size_t n; got < length && (n = in.read(bytes.data() + got, length - got)) > 0;)
    got += n;
  bytes.resize(got);
  return bytes;
}

Token Reader::Next() {
  QPDFTokenizer::Token token = tokenizer_.readToken(in_, "copy", true, 0);
  Require(token.getType() != QPDFTokenizer::tt_bad && token.getType() != QPDFTokenizer::tt_eof);
  return {token.getType(), token.getValue(), token.getRawValue(), in_->getLastOffset()};
}

int64_t Reader::Integer() {
  Token token = Next();
  Require(token.type == QPDFTokenizer::tt_integer);
  return ParseInteger(token.value);
}

void Reader::Word(const char* word) {
  Require(Next().IsWord(word));
}

qpdf_offset_t Reader::StreamData() {
  qpdf_offset_t at = Tell();
  std::string eol = ReadAt(*in_, at, 2);
  if (eol == "\r\n")
    return at + 2;
  Require(!eol.empty() && eol[0] == '\n');
  return at + 1;
}

const std::vector<Token>& Dictionary::Value(const std::string& key) const {
  auto value = values.find(key);
  Require(value != values.end());
  return value->second;
}

namespace {

bool Opens(const Token& token) {
  return token.type == QPDFTokenizer::tt_dict_open || token.type == QPDFTokenizer::tt_array_open;
}

bool Closes(const Token& token) {
  return token.type == QPDFTokenizer::tt_dict_close || token.type == QPDFTokenizer::tt_array_close;
}

// The tokens of one dictionary, from "<<" through its ">>".
std::vector<Token> DictionaryTokens(Reader& reader, Token open) {
  Require(open.type == QPDFTokenizer::tt_dict_open);
  std::vector<Token> tokens{std::move(open)};
  for (int depth = 1; depth > 0;) {
    tokens.push_back(reader.Next());
    depth += Opens(tokens.back()) ? 1 : Closes(tokens.back()) ? -1 : 0;
  }
  Require(tokens.back().type == QPDFTokenizer::tt_dict_close);
  return tokens;
}

// The dictionary that `tokens` spell, "<<" and ">>" included.
Dictionary DictionaryOf(const std::vector<Token>& tokens) {
  Dictionary dictionary;
  std::vector<Token>* value = nullptr;
  bool valueDone = false;
  int depth = 0;
  for (size_t i = 1; i + 1 < tokens.size(); ++i) {
    const Token& token = tokens[i];
    // The generation and R of a reference continue an integer value.
    bool continues = valueDone && (token.type == QPDFTokenizer::tt_integer || token.IsWord("R"));
    if (depth == 0 && (!value || valueDone) && !continues) {
      Require(token.type == QPDFTokenizer::tt_name);
      value = &dictionary.values[token.value];
      value->clear();
      valueDone = false;
      continue;
    }
    Require(value != nullptr);
    value->push_back(token);
    depth += Opens(token) ? 1 : Closes(token) ? -1 : 0;
    Require(depth >= 0);
    valueDone = depth == 0;
  }
  Require(depth == 0);
  return dictionary;
}

// A stream's /Length, resolved in `pdf` when it is a reference.
int64_t StreamLength(const Dictionary& dictionary, QPDF& pdf) {
  const std::vector<Token>& length = dictionary.Value("/Length");
  if (length.size() == 1)
    return IntegerValue(dictionary, "/Length");
  Require(length.size() == 3 && ReferenceEndingAt(length, 2) >= 0);
  QPDFObjectHandle value = pdf.getObject(ObjectNumber(ParseInteger(length[0].value)),
                                         ObjectNumber(ParseInteger(length[1].value)));
  Require(value.isInteger());
  return value.getIntValue();
}

void AddReferences(const std::vector<Token>& tokens, std::vector<int>* references) {
  if (!references)
    return;
  for (size_t i = 2; i < tokens.size(); ++i) {
    int64_t number = ReferenceEndingAt(tokens, i);
    if (number >= 0)
      references->push_back(ObjectNumber(number));
  }
}

}  // namespace

Dictionary ReadDictionary(Reader& reader) {
  return DictionaryOf(DictionaryTokens(reader, reader.Next()));
}

int64_t IntegerValue(const Dictionary& dictionary, const std::string& key) {
  const std::vector<Token>& value = dictionary.Value(key);
  Require(value.size() == 1 && value[0].type == QPDFTokenizer::tt_integer);
  return ParseInteger(value[0].value);
}

QPDFObjGen ReadObjectHeader(Reader& reader) {
  int64_t number = reader.Integer();
  int64_t generation = reader.Integer();
  Require(number > 0 && generation >= 0 && generation <= 65535);
  reader.Word("obj");
  return QPDFObjGen(ObjectNumber(number), static_cast<int>(generation));
}

StreamObject ReadStreamObject(const std::shared_ptr<InputSource>& in, qpdf_offset_t at, QPDF& pdf) {
  Reader reader(in);
  reader.Seek(at);
  StreamObject object;
  object.object = ReadObjectHeader(reader);
  object.dictionary = ReadDictionary(reader);
  reader.Word("stream");
  object.dataAt = reader.StreamData();
  object.length = StreamLength(object.dictionary, pdf);
  Require(object.length >= 0 && object.length <= INT64_MAX - object.dataAt);
  reader.Seek(object.dataAt + object.length);
  reader.Word("endstream");
  reader.Word("endobj");
  object.end = reader.Tell();
  return object;
}

int64_t ReferenceEndingAt(const std::vector<Token>& tokens, size_t i) {
  if (i < 2 || !tokens[i].IsWord("R") || tokens[i - 1].type != QPDFTokenizer::tt_integer ||
      tokens[i - 2].type != QPDFTokenizer::tt_integer)
    return -1;
  int64_t number = ParseInteger(tokens[i - 2].value);
  return number >= 0 && number <= INT32_MAX ? number : -1;
}

Extent ReadExtent(const std::shared_ptr<InputSource>& in, qpdf_offset_t at, QPDF& pdf,
                  std::vector<int>* references) {
  Reader reader(in);
  reader.Seek(at);
  Extent extent;
  extent.at = at;
  extent.object = ReadObjectHeader(reader);
  Token first = reader.Next();
  if (first.type == QPDFTokenizer::tt_dict_open) {
    std::vector<Token> tokens = DictionaryTokens(reader, std::move(first));
    AddReferences(tokens, references);
    Token next = reader.Next();
    if (next.IsWord("stream")) {
      qpdf_offset_t dataAt = reader.StreamData();
      int64_t length = StreamLength(DictionaryOf(tokens), pdf);
      Require(length >= 0 && length <= INT64_MAX - dataAt);
      reader.Seek(dataAt + length);
      reader.Word("endstream");
      reader.Word("endobj");
    } else {
      Require(next.IsWord("endobj"));
    }
    extent.end = reader.Tell();
    return extent;
  }
  // Any other value, up to the endobj at its top level.
  std::vector<Token> tokens{std::move(first)};
  for (int depth = 0; !(depth == 0 && tokens.back().IsWord("endobj"));) {
    depth += Opens(tokens.back()) ? 1 : Closes(tokens.back()) ? -1 : 0;
    Require(depth >= 0 && !tokens.back().IsWord("stream"));
    tokens.push_back(reader.Next());
  }
  AddReferences(tokens, references);
  extent.end = reader.Tell();
  return extent;
}

void ReadReferences(const std::shared_ptr<InputSource>& in, std::vector<int>& references) {
  QPDFTokenizer tokenizer;
  tokenizer.allowEOF();
  in->seek(0, SEEK_SET);
  std::vector<Token> last;
  for (;;) {
    QPDFTokenizer::Token token = tokenizer.readToken(in, "references", true, 0);
    if (token.getType() == QPDFTokenizer::tt_eof)
      return;
    Require(token.getType() != QPDFTokenizer::tt_bad);
    if (last.size() == 3)
      last.erase(last.begin());
    last.push_back({token.getType(), token.getValue(), std::string(), 0});
    int64_t number = ReferenceEndingAt(last, last.size() - 1);
    if (number >= 0)
      references.push_back(ObjectNumber(number));
  }
}

}  // namespace pdfl
