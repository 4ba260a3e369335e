#include "copy/lexer.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <qpdf/BufferInputSource.hh>
#include <qpdf/QPDFTokenizer.hh>

namespace {

// What QPDF's tokenizer makes of each token, as the byte lexer names it.
pdfl::Kind KindOf(QPDFTokenizer::token_type_e type) {
  switch (type) {
    case QPDFTokenizer::tt_integer:
      return pdfl::Kind::kInteger;
    case QPDFTokenizer::tt_name:
      return pdfl::Kind::kName;
    case QPDFTokenizer::tt_word:
    case QPDFTokenizer::tt_real:
    case QPDFTokenizer::tt_bool:
    case QPDFTokenizer::tt_null:
      return pdfl::Kind::kWord;
    case QPDFTokenizer::tt_dict_open:
    case QPDFTokenizer::tt_array_open:
      return pdfl::Kind::kOpen;
    case QPDFTokenizer::tt_dict_close:
    case QPDFTokenizer::tt_array_close:
      return pdfl::Kind::kClose;
    case QPDFTokenizer::tt_bad:
      return pdfl::Kind::kBad;
    case QPDFTokenizer::tt_eof:
      return pdfl::Kind::kEnd;
    case QPDFTokenizer::tt_string:
      return pdfl::Kind::kString;
    default:
      return pdfl::Kind::kOther;  // braces
  }
}

// The byte lexer reads every object of a file for the proof of a copy: it
// must see the tokens QPDF sees, or an object's end, and with it another
// object inside it, would be missed.
TEST(ByteLexerTest, GivesTheTokensQpdfGives) {
  const std::string cases[] = {
      "<< /Length 12 /Filter /FlateDecode >>",
      "[1 0 R (a (nested) string\\) with) <0a 1B> <<>>]",
      "% a comment ) ( >> endobj\n5 0 obj",
      "+12 -3 4.5 .5 -.5 1. R endobj endobj5 true false null",
      "/Name#20x/ /A/B{}",
      "(\\\\) (\\() (a\\\nb) ((()))",
      "<</A<</B[]>>>>stream\r\n",
      "(endobj inside) endobj",
      "<4 0 obj> 4\t0\fobj\r\n<< /Type /Metadata >>",
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text);
    std::string bytes = text + "\n";
    pdfl::ByteLexer lexer(bytes, 0);
    auto in = std::make_shared<BufferInputSource>("case", bytes);
    QPDFTokenizer tokenizer;
    tokenizer.allowEOF();
    for (;;) {
      QPDFTokenizer::Token token = tokenizer.readToken(in, "case", true, 0);
      pdfl::Kind kind = lexer.Next();
      ASSERT_EQ(kind, KindOf(token.getType())) << token.getRawValue();
      // A bad token ends a scan, wherever either says it ends.
      if (kind == pdfl::Kind::kEnd || kind == pdfl::Kind::kBad)
        break;
      EXPECT_EQ(lexer.text(), token.getRawValue());
      EXPECT_EQ(static_cast<qpdf_offset_t>(lexer.start()), in->getLastOffset());
    }
  }
}

// A token that the bytes cut off is no token: the scan reads more.
TEST(ByteLexerTest, EndsWhereATokenMayGoOn) {
  for (const char* text : {"123", "/Name", "(open", "<0a", "<", ">", "endob", "% comment"}) {
    SCOPED_TRACE(text);
    pdfl::ByteLexer lexer(text, 0);
    EXPECT_EQ(lexer.Next(), pdfl::Kind::kEnd);
  }
}

}  // namespace
