#include "copy/object_extent.h"

#include <climits>
#include <tuple>

#include "copy/not_copyable.h"
#include "copy/references.h"

namespace pdfl {

namespace {

// The body of a top-level object after its header: a dictionary, which a
// stream may follow, or any other value up to the endobj at its top level.
struct Body {
  std::vector<Token> tokens;
  bool stream = false;
};

Body ReadBody(TokenReader& reader) {
  Body body;
  Token first = reader.Next();
  if (first.OpensDictionary()) {
    body.tokens = DictionaryTokens(reader, std::move(first));
    TokenView next = reader.Scan();
    body.stream = next.IsWord("stream");
    Require(body.stream || next.IsWord("endobj"));
    return body;
  }
  body.tokens.push_back(std::move(first));
  for (int depth = 0; !(depth == 0 && body.tokens.back().IsWord("endobj"));) {
    depth += Depth(body.tokens.back().kind);
    Require(depth >= 0 && !body.tokens.back().IsWord("stream"));
    body.tokens.push_back(reader.Next());
  }
  body.tokens.pop_back();
  return body;
}

// A stream's /Length, resolved in `pdf` when it is a reference.
int64_t StreamLength(const Dictionary& dictionary, QPDF& pdf) {
  const std::vector<Token>& length = dictionary.Value("/Length");
  if (length.size() == 1)
    return IntegerValue(dictionary, "/Length");
  Require(length.size() == 3 &&
          ReferenceNumber(length[0].View(), length[1].View(), length[2].View()) >= 0);
  QPDFObjectHandle value = pdf.getObject(ObjectNumber(ParseInteger(length[0].raw)),
                                         ObjectNumber(ParseInteger(length[1].raw)));
  Require(value.isInteger());
  return value.getIntValue();
}

// Reads, after the keyword "stream", the data that the dictionary's /Length
// gives and the keywords that end the object, leaving the reader just past
// "endobj"; gives where the data starts and its length.
std::pair<qpdf_offset_t, int64_t> ReadStreamEnd(TokenReader& reader, const Dictionary& dictionary,
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

QPDFObjGen ReadObjectHeader(TokenReader& reader) {
  int64_t number = reader.Integer();
  int64_t generation = reader.Integer();
  Require(number > 0 && number <= INT32_MAX && generation >= 0 && generation <= 65535);
  reader.Word("obj");
  return QPDFObjGen(static_cast<int>(number), static_cast<int>(generation));
}

StreamObject ReadStreamObject(InputSource& in, qpdf_offset_t at, QPDF& pdf) {
  TokenReader reader(in, at);
  StreamObject object;
  object.object = ReadObjectHeader(reader);
  object.dictionary = ReadDictionary(reader);
  reader.Word("stream");
  std::tie(object.dataAt, object.length) = ReadStreamEnd(reader, object.dictionary, pdf);
  object.end = reader.Tell();
  return object;
}

Extent ReadExtent(InputSource& in, qpdf_offset_t at, QPDF& pdf, std::vector<int>* references) {
  TokenReader reader(in, at);
  Extent extent;
  extent.at = at;
  extent.object = ReadObjectHeader(reader);
  Body body = ReadBody(reader);
  AddReferences(body.tokens, references);
  if (body.stream)
    ReadStreamEnd(reader, DictionaryOf(body.tokens), pdf);
  extent.end = reader.Tell();
  return extent;
}

}  // namespace pdfl
