#include "pdf_lexer.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <tuple>
#include <utility>

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

namespace {

// What each byte is to PDF, by table: the scans ask it of every byte of
// every object.
enum ByteClass : unsigned char { kRegular, kWhite, kDelimiter };

struct ByteClasses {
  ByteClass of[256];
  ByteClasses() : of() {
    for (unsigned char c : std::string_view(" \n\r\t\f\0", 6))
      of[c] = kWhite;
    for (unsigned char c : std::string_view("()<>[]{}/%"))
      of[c] = kDelimiter;
  }
};

const ByteClasses kClasses;

ByteClass ClassOf(char c) {
  return kClasses.of[static_cast<unsigned char>(c)];
}

bool IsWhiteByte(char c) {
  return ClassOf(c) == kWhite;
}

bool IsRegular(char c) {
  return ClassOf(c) == kRegular;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

bool ByteLexer::SkipWhiteAndComments() {
  while (at_ < bytes_.size()) {
    char c = bytes_[at_];
    if (IsWhiteByte(c)) {
      ++at_;
    } else if (c == '%') {
      while (at_ < bytes_.size() && bytes_[at_] != '\r' && bytes_[at_] != '\n')
        ++at_;
    } else {
      return true;
    }
  }
  return false;
}

// From "(" through its balanced ")", a backslash escaping the byte after it.
ByteLexer::Kind ByteLexer::LiteralString() {
  int depth = 0;
  while (at_ < bytes_.size()) {
    char c = bytes_[at_++];
    if (c == '\\') {
      if (at_ == bytes_.size())
        return kEnd;
      ++at_;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && --depth == 0) {
      return kOther;
    }
  }
  return kEnd;
}

// A run of regular bytes: an integer (an optional sign, then digits), or
// any other word, reals among them.
ByteLexer::Kind ByteLexer::Regular() {
  while (at_ < bytes_.size() && IsRegular(bytes_[at_]))
    ++at_;
  if (at_ == bytes_.size())
    return kEnd;
  std::string_view word = text();
  size_t digits = word[0] == '+' || word[0] == '-' ? 1 : 0;
  if (digits == word.size())
    return kWord;
  for (size_t i = digits; i < word.size(); ++i) {
    if (!IsDigit(word[i]))
      return kWord;
  }
  return kInteger;
}

ByteLexer::Kind ByteLexer::Next() {
  if (!SkipWhiteAndComments())
    return kEnd;
  start_ = at_;
  char c = bytes_[at_++];
  switch (c) {
    case '(':
      --at_;
      return LiteralString();
    case ')':
      return kBad;
    case '[':
      return kOpen;
    case ']':
      return kClose;
    case '{':
    case '}':
      return kOther;
    case '<':
      if (at_ == bytes_.size())
        return kEnd;
      if (bytes_[at_] == '<') {
        ++at_;
        return kOpen;
      }
      while (at_ < bytes_.size() && bytes_[at_] != '>') {
        if (!IsWhiteByte(bytes_[at_]) && !std::isxdigit(static_cast<unsigned char>(bytes_[at_])))
          return kBad;
        ++at_;
      }
      if (at_ == bytes_.size())
        return kEnd;
      ++at_;
      return kOther;
    case '>':
      if (at_ == bytes_.size())
        return kEnd;
      if (bytes_[at_] != '>')
        return kBad;
      ++at_;
      return kClose;
    case '/':
      while (at_ < bytes_.size() && IsRegular(bytes_[at_]))
        ++at_;
      return at_ == bytes_.size() ? kEnd : kName;
    default:
      return Regular();
  }
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

// Reads, after the keyword "stream", the data that the dictionary's /Length
// gives and the keywords that end the object, leaving the reader just past
// "endobj"; gives where the data starts and its length.
std::pair<qpdf_offset_t, int64_t> ReadStreamEnd(Reader& reader, const Dictionary& dictionary,
                                                QPDF& pdf) {
  qpdf_offset_t dataAt = reader.StreamData();
  int64_t length = StreamLength(dictionary, pdf);
  Require(length >= 0 && length <= INT64_MAX - dataAt);
  reader.Seek(dataAt + length);
  reader.Word("endstream");
  reader.Word("endobj");
  return {dataAt, length};
}

}  // namespace

void AddReferences(const std::vector<Token>& tokens, std::vector<int>* references) {
  if (!references)
    return;
  for (size_t i = 2; i < tokens.size(); ++i) {
    int64_t number = ReferenceEndingAt(tokens, i);
    if (number >= 0)
      references->push_back(ObjectNumber(number));
  }
}

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
  std::tie(object.dataAt, object.length) = ReadStreamEnd(reader, object.dictionary, pdf);
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

namespace {

struct Lexed {
  ByteLexer::Kind kind;
  std::string_view text;
};

bool IsKeyword(const Lexed& token, std::string_view word) {
  return token.kind == ByteLexer::kWord && token.text == word;
}

int64_t LexedInteger(const Lexed& token) {
  return ParseInteger(std::string(token.text));
}

// The object number of the reference "n g R" that ends with `tokens[i]`, or
// -1.
int64_t LexedReferenceAt(const std::vector<Lexed>& tokens, size_t i) {
  if (i < 2 || !IsKeyword(tokens[i], "R") || tokens[i - 1].kind != ByteLexer::kInteger ||
      tokens[i - 2].kind != ByteLexer::kInteger)
    return -1;
  int64_t number = LexedInteger(tokens[i - 2]);
  return number >= 0 && number <= INT32_MAX ? number : -1;
}

void AddLexedReferences(const std::vector<Lexed>& tokens, std::vector<int>* references) {
  if (!references)
    return;
  for (size_t i = 2; i < tokens.size(); ++i) {
    int64_t number = LexedReferenceAt(tokens, i);
    if (number >= 0)
      references->push_back(static_cast<int>(number));
  }
}

// The /Length of the dictionary that `tokens` spell, "<<" and ">>"
// included, resolved in `pdf` when it is a reference; the last one where
// the key is there twice.
int64_t LexedStreamLength(const std::vector<Lexed>& tokens, QPDF& pdf) {
  int64_t length = -1;
  for (size_t i = 1; i + 1 < tokens.size();) {
    Require(tokens[i].kind == ByteLexer::kName);
    bool isLength = tokens[i].text == "/Length";
    size_t value = ++i;
    if (tokens[i].kind == ByteLexer::kOpen) {
      for (int depth = 0;; ++i) {
        depth += tokens[i].kind == ByteLexer::kOpen    ? 1
                 : tokens[i].kind == ByteLexer::kClose ? -1
                                                       : 0;
        if (depth == 0)
          break;
      }
      ++i;
    } else if (i + 2 < tokens.size() && LexedReferenceAt(tokens, i + 2) >= 0) {
      i += 3;
    } else {
      Require(tokens[i].kind != ByteLexer::kClose);
      ++i;
    }
    if (!isLength)
      continue;
    if (i - value == 1) {
      Require(tokens[value].kind == ByteLexer::kInteger);
      length = LexedInteger(tokens[value]);
    } else {
      Require(i - value == 3 && LexedReferenceAt(tokens, value + 2) >= 0);
      QPDFObjectHandle resolved = pdf.getObject(ObjectNumber(LexedInteger(tokens[value])),
                                                ObjectNumber(LexedInteger(tokens[value + 1])));
      Require(resolved.isInteger());
      length = resolved.getIntValue();
    }
  }
  Require(length >= 0);
  return length;
}

// Reads the object at `at` from `bytes`, which start there; false when the
// bytes end before its dictionary or its body does. A stream's end is read
// from `in`.
bool LexExtent(std::string_view bytes, const std::shared_ptr<InputSource>& in, qpdf_offset_t at,
               QPDF& pdf, std::vector<int>* references, Extent& extent) {
  ByteLexer lexer(bytes, 0);
  Lexed header[3];
  for (Lexed& token : header) {
    ByteLexer::Kind kind = lexer.Next();
    if (kind == ByteLexer::kEnd)
      return false;
    token = {kind, lexer.text()};
  }
  Require(header[0].kind == ByteLexer::kInteger && header[1].kind == ByteLexer::kInteger &&
          IsKeyword(header[2], "obj"));
  int64_t number = LexedInteger(header[0]), generation = LexedInteger(header[1]);
  Require(number > 0 && number <= INT32_MAX && generation >= 0 && generation <= 65535);
  extent.at = at;
  extent.object = QPDFObjGen(static_cast<int>(number), static_cast<int>(generation));

  std::vector<Lexed> tokens;
  bool dictionary = false;
  for (int depth = 0;;) {
    ByteLexer::Kind kind = lexer.Next();
    if (kind == ByteLexer::kEnd)
      return false;
    Require(kind != ByteLexer::kBad);
    Lexed token{kind, lexer.text()};
    if (depth == 0 && IsKeyword(token, "endobj")) {
      AddLexedReferences(tokens, references);
      extent.end = at + static_cast<qpdf_offset_t>(lexer.end());
      return true;
    }
    Require(!IsKeyword(token, "stream"));
    if (tokens.empty())
      dictionary = kind == ByteLexer::kOpen && token.text == "<<";
    tokens.push_back(token);
    depth += kind == ByteLexer::kOpen ? 1 : kind == ByteLexer::kClose ? -1 : 0;
    Require(depth >= 0);
    if (dictionary && depth == 0)
      break;
  }
  ByteLexer::Kind kind = lexer.Next();
  if (kind == ByteLexer::kEnd)
    return false;
  Lexed next{kind, lexer.text()};
  AddLexedReferences(tokens, references);
  if (IsKeyword(next, "endobj")) {
    extent.end = at + static_cast<qpdf_offset_t>(lexer.end());
    return true;
  }
  Require(IsKeyword(next, "stream"));
  // The data starts after the end of line that follows "stream".
  size_t eol = lexer.end();
  if (eol + 2 > bytes.size())
    return false;
  Require(bytes[eol] == '\n' || (bytes[eol] == '\r' && bytes[eol + 1] == '\n'));
  qpdf_offset_t dataAt = at + static_cast<qpdf_offset_t>(eol + (bytes[eol] == '\r' ? 2 : 1));
  int64_t length = LexedStreamLength(tokens, pdf);
  Require(length <= INT64_MAX - dataAt - 64);
  std::string tail = ReadAt(*in, dataAt + length, 64);
  ByteLexer end(tail, 0);
  for (const char* word : {"endstream", "endobj"}) {
    ByteLexer::Kind kind = end.Next();
    if (kind == ByteLexer::kEnd)
      return false;
    Require(kind == ByteLexer::kWord && end.text() == word);
  }
  extent.end = dataAt + length + static_cast<qpdf_offset_t>(end.end());
  return true;
}

}  // namespace

Extent ReadExtent(const std::shared_ptr<InputSource>& in, qpdf_offset_t at, QPDF& pdf,
                  std::vector<int>* references) {
  // Most objects end, or start their data, within a few hundred bytes; the
  // rest are read by QPDF's tokenizer.
  Extent extent;
  size_t found = references ? references->size() : 0;
  for (size_t length : {256, 65536}) {
    if (LexExtent(ReadAt(*in, at, length), in, at, pdf, references, extent))
      return extent;
    if (references)
      references->resize(found);
  }
  Reader reader(in);
  reader.Seek(at);
  extent.at = at;
  extent.object = ReadObjectHeader(reader);
  Token first = reader.Next();
  if (first.type == QPDFTokenizer::tt_dict_open) {
    std::vector<Token> tokens = DictionaryTokens(reader, std::move(first));
    AddReferences(tokens, references);
    Token next = reader.Next();
    if (next.IsWord("stream"))
      ReadStreamEnd(reader, DictionaryOf(tokens), pdf);
    else
      Require(next.IsWord("endobj"));
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

void ReadReferences(std::string_view bytes, int from, std::vector<int>& references) {
  ByteLexer lexer(bytes, 0);
  // The two tokens before the current one.
  Lexed before[2] = {{ByteLexer::kBad, {}}, {ByteLexer::kBad, {}}};
  for (ByteLexer::Kind kind; (kind = lexer.Next()) != ByteLexer::kEnd;) {
    Require(kind != ByteLexer::kBad);
    Lexed token{kind, lexer.text()};
    if (IsKeyword(token, "R") && before[0].kind == ByteLexer::kInteger &&
        before[1].kind == ByteLexer::kInteger) {
      int64_t number = LexedInteger(before[0]);
      if (number >= from && number <= INT32_MAX)
        references.push_back(static_cast<int>(number));
    }
    before[0] = before[1];
    before[1] = token;
  }
}

}  // namespace pdfl
