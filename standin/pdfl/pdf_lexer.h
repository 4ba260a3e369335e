// A lexer of a PDF file's raw bytes, for the save by a copy: tokens from an
// offset, dictionaries at their top level, object headers and the extent of
// a top-level object. What it cannot read the way the file must be read
// throws NotCopyable.
#ifndef PDFL_PDF_LEXER_H
#define PDFL_PDF_LEXER_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <qpdf/InputSource.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFTokenizer.hh>

namespace pdfl {

// What is left unsaid in a file is read as no copy: the document takes the
// rewrite, which needs none of this.
struct NotCopyable {};

void Require(bool condition);

// A number read from the file, which may be of any length.
int64_t ParseInteger(const std::string& text);
// A length or place in the file as a count of bytes in memory, which on a
// 32-bit system is the narrower of the two.
size_t Bytes(int64_t value);
int ObjectNumber(int64_t value);
qpdf_offset_t LengthOf(const std::string& bytes);

// Up to `length` bytes at `at`; fewer at the end of the file.
std::string ReadAt(InputSource& in, qpdf_offset_t at, size_t length);

struct Token {
  QPDFTokenizer::token_type_e type;
  std::string value;
  std::string raw;
  qpdf_offset_t at;

  bool IsWord(const char* word) const { return type == QPDFTokenizer::tt_word && value == word; }
};

// Tokens of the source from a given offset.
class Reader {
 public:
  explicit Reader(const std::shared_ptr<InputSource>& in) : in_(in) {}

  void Seek(qpdf_offset_t at) { in_->seek(at, SEEK_SET); }
  qpdf_offset_t Tell() { return in_->tell(); }

  Token Next();
  int64_t Integer();
  void Word(const char* word);
  // After the keyword "stream": its end of line, then the data.
  qpdf_offset_t StreamData();

 private:
  std::shared_ptr<InputSource> in_;
  QPDFTokenizer tokenizer_;
};

// A dictionary's values at its top level, each as the tokens that make it
// ("n g R" for a reference, brackets and all for an array).
struct Dictionary {
  std::map<std::string, std::vector<Token>> values;

  bool Has(const std::string& key) const { return values.count(key) != 0; }
  const std::vector<Token>& Value(const std::string& key) const;
};

Dictionary ReadDictionary(Reader& reader);
int64_t IntegerValue(const Dictionary& dictionary, const std::string& key);

// "n g obj" at the reader's place.
QPDFObjGen ReadObjectHeader(Reader& reader);

// A stream object whose dictionary is read: which object it is, where its
// data starts, how long it is, and where it ends.
struct StreamObject {
  QPDFObjGen object;
  Dictionary dictionary;
  qpdf_offset_t dataAt = 0;
  int64_t length = 0;
  qpdf_offset_t end = 0;
};

StreamObject ReadStreamObject(const std::shared_ptr<InputSource>& in, qpdf_offset_t at, QPDF& pdf);

// The reference "n g R" that ends with `tokens[i]`, if it does: its object
// number, or -1.
int64_t ReferenceEndingAt(const std::vector<Token>& tokens, size_t i);
// Adds the object number of each reference "n g R" among `tokens`; nothing
// when `references` is null.
void AddReferences(const std::vector<Token>& tokens, std::vector<int>* references);

// Tokens of bytes in memory, for the scans that read every object of a file:
// the same tokens as QPDF's tokenizer, without a string made for each.
class ByteLexer {
 public:
  enum Kind { kEnd, kBad, kInteger, kName, kWord, kOpen, kClose, kOther };

  ByteLexer(std::string_view bytes, size_t at) : bytes_(bytes), at_(at) {}

  // The next token; kEnd where the bytes end, also inside a token, which
  // may go on past them.
  Kind Next();
  // The last token's text, and where it starts and ends in the bytes.
  std::string_view text() const { return bytes_.substr(start_, at_ - start_); }
  size_t start() const { return start_; }
  size_t end() const { return at_; }

 private:
  bool SkipWhiteAndComments();
  Kind LiteralString();
  Kind Regular();

  std::string_view bytes_;
  size_t at_;
  size_t start_ = 0;
};

// Where a top-level object lies: from its "n g obj" through its endobj; a
// stream's through endstream at its /Length, resolved in `pdf`.
struct Extent {
  qpdf_offset_t at = 0;
  qpdf_offset_t end = 0;
  QPDFObjGen object;
};

// Reads the object at `at` to its end; each reference it holds outside
// stream data adds its object number to `references`, when given.
Extent ReadExtent(const std::shared_ptr<InputSource>& in, qpdf_offset_t at, QPDF& pdf,
                  std::vector<int>* references);
// Adds the object number of each reference in the bytes that names `from`
// or above to `references`: the objects of an object stream. The bytes must
// end with white space, so that their last token ends before them.
void ReadReferences(std::string_view bytes, int from, std::vector<int>& references);

}  // namespace pdfl

#endif
