// The copy's one lexer of PDF: tokens of bytes in memory (ByteLexer), and
// tokens of a file from any offset (TokenReader), which lexes a window of the
// file and widens it while a token may go on. It gives the tokens QPDF's
// tokenizer gives, without a string made for each.
#ifndef PDFL_COPY_LEXER_H
#define PDFL_COPY_LEXER_H

#include <string>
#include <string_view>

#include <qpdf/InputSource.hh>

namespace pdfl {

enum class Kind {
  kEnd,  // the bytes end, also inside a token, which may go on past them
  kBad,
  kInteger,
  kName,
  kWord,  // keywords, reals, true, false, null
  kString,
  kOpen,   // << or [
  kClose,  // >> or ]
  kOther,  // { or }
};

// A token seen in place: its kind and its bytes.
struct TokenView {
  Kind kind = Kind::kBad;
  std::string_view text;

  bool IsWord(std::string_view word) const { return kind == Kind::kWord && text == word; }
};

// A token kept: its kind, its bytes and where it starts in the file.
struct Token {
  Kind kind = Kind::kBad;
  std::string raw;
  qpdf_offset_t at = 0;

  TokenView View() const { return {kind, raw}; }
  bool IsWord(std::string_view word) const { return View().IsWord(word); }
  bool OpensDictionary() const { return kind == Kind::kOpen && raw == "<<"; }
};

class ByteLexer {
 public:
  ByteLexer(std::string_view bytes, size_t at) : bytes_(bytes), at_(at) {}

  Kind Next();
  // The last token's text, and where it starts and ends in the bytes.
  std::string_view text() const { return bytes_.substr(start_, at_ - start_); }
  size_t start() const { return start_; }
  size_t end() const { return at_; }

 private:
  bool SkipWhiteAndComments();
  Kind LiteralString();
  Kind HexString();
  Kind Regular();

  std::string_view bytes_;
  size_t at_;
  size_t start_ = 0;
};

// Up to `length` bytes at `at`; fewer at the end of the file.
std::string ReadAt(InputSource& in, qpdf_offset_t at, size_t length);

class TokenReader {
 public:
  TokenReader(InputSource& in, qpdf_offset_t at);

  // The next token, seen in place until the next call; kEnd only at the end
  // of the file.
  TokenView Scan();
  qpdf_offset_t start() const { return windowAt_ + static_cast<qpdf_offset_t>(start_); }
  // The next token, kept; throws NotCopyable at a bad token or the file's
  // end.
  Token Next();
  int64_t Integer();
  void Word(std::string_view word);

  // Just past the last token, or where the reader was sent.
  qpdf_offset_t Tell() const { return windowAt_ + static_cast<qpdf_offset_t>(at_); }
  void Seek(qpdf_offset_t at);
  // After the keyword "stream": its end of line, then the data.
  qpdf_offset_t StreamData();

 private:
  // Reads further into the file; false at its end.
  bool Widen();

  InputSource& in_;
  std::string window_;
  qpdf_offset_t windowAt_ = 0;
  bool toEnd_ = false;  // the window holds the file's end, and a line end after it
  size_t at_ = 0;
  size_t start_ = 0;
};

}  // namespace pdfl

#endif
