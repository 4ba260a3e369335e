#include "copy/lexer.h"

#include <algorithm>

#include "copy/not_copyable.h"
#include "copy/pdf_syntax.h"

namespace pdfl {

bool ByteLexer::SkipWhiteAndComments() {
  while (at_ < bytes_.size()) {
    char c = bytes_[at_];
    if (IsWhite(c)) {
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
Kind ByteLexer::LiteralString() {
  int depth = 0;
  while (at_ < bytes_.size()) {
    char c = bytes_[at_++];
    if (c == '\\') {
      if (at_ == bytes_.size())
        return Kind::kEnd;
      ++at_;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && --depth == 0) {
      return Kind::kString;
    }
  }
  return Kind::kEnd;
}

// After "<": hex digits and white space through ">".
Kind ByteLexer::HexString() {
  while (at_ < bytes_.size() && bytes_[at_] != '>') {
    if (!IsWhite(bytes_[at_]) && !IsHexDigit(bytes_[at_]))
      return Kind::kBad;
    ++at_;
  }
  if (at_ == bytes_.size())
    return Kind::kEnd;
  ++at_;
  return Kind::kString;
}

// A run of regular bytes: an integer (an optional sign, then digits), or
// any other word, reals among them.
Kind ByteLexer::Regular() {
  while (at_ < bytes_.size() && IsRegular(bytes_[at_]))
    ++at_;
  if (at_ == bytes_.size())
    return Kind::kEnd;
  std::string_view word = text();
  size_t digits = word[0] == '+' || word[0] == '-' ? 1 : 0;
  if (digits == word.size())
    return Kind::kWord;
  for (size_t i = digits; i < word.size(); ++i) {
    if (!IsDigit(word[i]))
      return Kind::kWord;
  }
  return Kind::kInteger;
}

Kind ByteLexer::Next() {
  if (!SkipWhiteAndComments())
    return Kind::kEnd;
  start_ = at_;
  char c = bytes_[at_++];
  switch (c) {
    case '(':
      --at_;
      return LiteralString();
    case ')':
      return Kind::kBad;
    case '[':
      return Kind::kOpen;
    case ']':
      return Kind::kClose;
    case '{':
    case '}':
      return Kind::kOther;
    case '<':
      if (at_ == bytes_.size())
        return Kind::kEnd;
      if (bytes_[at_] == '<') {
        ++at_;
        return Kind::kOpen;
      }
      return HexString();
    case '>':
      if (at_ == bytes_.size())
        return Kind::kEnd;
      if (bytes_[at_] != '>')
        return Kind::kBad;
      ++at_;
      return Kind::kClose;
    case '/':
      while (at_ < bytes_.size() && IsRegular(bytes_[at_]))
        ++at_;
      return at_ == bytes_.size() ? Kind::kEnd : Kind::kName;
    default:
      return Regular();
  }
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

// Most objects end, or start their data, within a few hundred bytes.
const size_t kFirstWindow = 256;

}  // namespace

TokenReader::TokenReader(InputSource& in, qpdf_offset_t at) : in_(in) {
  Seek(at);
}

void TokenReader::Seek(qpdf_offset_t at) {
  if (at >= windowAt_ && at - windowAt_ <= static_cast<qpdf_offset_t>(window_.size())) {
    at_ = static_cast<size_t>(at - windowAt_);
    return;
  }
  Require(at >= 0);
  windowAt_ = at;
  window_.clear();
  toEnd_ = false;
  at_ = 0;
}

bool TokenReader::Widen() {
  if (toEnd_)
    return false;
  size_t want = std::max(kFirstWindow, window_.size());
  std::string more = ReadAt(in_, windowAt_ + static_cast<qpdf_offset_t>(window_.size()), want);
  window_ += more;
  // A token that ends the file ends there: a line end after it says so.
  if (more.size() < want) {
    window_ += '\n';
    toEnd_ = true;
  }
  return true;
}

TokenView TokenReader::Scan() {
  for (;;) {
    ByteLexer lexer(window_, at_);
    Kind kind = lexer.Next();
    if (kind != Kind::kEnd || !Widen()) {
      start_ = kind == Kind::kEnd ? window_.size() : lexer.start();
      at_ = kind == Kind::kEnd ? window_.size() : lexer.end();
      return {kind, lexer.text()};
    }
  }
}

Token TokenReader::Next() {
  TokenView token = Scan();
  Require(token.kind != Kind::kBad && token.kind != Kind::kEnd);
  return {token.kind, std::string(token.text), start()};
}

int64_t TokenReader::Integer() {
  Token token = Next();
  Require(token.kind == Kind::kInteger);
  return ParseInteger(token.raw);
}

void TokenReader::Word(std::string_view word) {
  Require(Scan().IsWord(word));
}

qpdf_offset_t TokenReader::StreamData() {
  qpdf_offset_t at = Tell();
  while (window_.size() < at_ + 2 && Widen()) {
  }
  std::string_view eol = std::string_view(window_).substr(at_, 2);
  if (eol == "\r\n")
    return at + 2;
  Require(!eol.empty() && eol[0] == '\n');
  return at + 1;
}

}  // namespace pdfl
