#include "copy/object_streams.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "copy/lexer.h"
#include "copy/not_copyable.h"
#include "copy/references.h"

namespace pdfl {

namespace {

struct Member {
  int number;
  size_t at;   // in the stream's data
  size_t end;  // once read
  bool current;
};

TokenView NextToken(ByteLexer& lexer) {
  Kind kind = lexer.Next();
  Require(kind != Kind::kBad);
  return {kind, kind == Kind::kEnd ? std::string_view() : lexer.text()};
}

// Reads one object from the lexer's place, as QPDF's parser does, adding
// its references; gives where it ends.
size_t ReadMember(std::string_view bytes, size_t at, std::vector<int>& references) {
  ByteLexer lexer(bytes, at);
  TokenView before[2];
  for (int depth = 0;;) {
    TokenView token = NextToken(lexer);
    Require(token.kind != Kind::kEnd && !token.IsWord("endobj") && !token.IsWord("stream"));
    int64_t number = ReferenceNumber(before[0], before[1], token);
    if (number >= 0)
      references.push_back(static_cast<int>(number));
    depth += token.kind == Kind::kOpen ? 1 : token.kind == Kind::kClose ? -1 : 0;
    Require(depth >= 0);
    before[0] = before[1];
    before[1] = token;
    if (depth > 0)
      continue;
    if (token.kind != Kind::kInteger)
      return lexer.end();
    // An integer may be the start of "n g R": a reader looks two ahead.
    ByteLexer ahead = lexer;
    TokenView generation = NextToken(ahead), r = NextToken(ahead);
    number = ReferenceNumber(token, generation, r);
    if (number < 0)
      return lexer.end();
    references.push_back(static_cast<int>(number));
    return ahead.end();
  }
}

// The members the stream's first /N pairs of integers name.
std::vector<Member> ReadHeader(std::string_view bytes, QPDFObjectHandle dictionary) {
  QPDFObjectHandle n = dictionary.getKey("/N"), first = dictionary.getKey("/First");
  Require(n.isInteger() && first.isInteger() && n.getIntValue() >= 0 && first.getIntValue() >= 0 &&
          static_cast<uint64_t>(first.getIntValue()) <= bytes.size());
  ByteLexer lexer(bytes.substr(0, static_cast<size_t>(first.getIntValue())), 0);
  std::vector<Member> members;
  for (long long i = 0; i < n.getIntValue(); ++i) {
    Require(lexer.Next() == Kind::kInteger);
    int number = ObjectNumber(ParseInteger(lexer.text()));
    Require(lexer.Next() == Kind::kInteger);
    int64_t offset = ParseInteger(lexer.text());
    Require(offset >= 0 && offset <= static_cast<int64_t>(bytes.size()) - first.getIntValue());
    members.push_back({number, static_cast<size_t>(first.getIntValue() + offset), 0, false});
  }
  return members;
}

// Whether the final cross-reference takes the member from this stream:
// readers find it there by its number, whatever index the entry gives.
bool IsCurrent(const XRefTable& entries, int stream, int number) {
  auto entry = entries.lower_bound(QPDFObjGen(number, 0));
  return entry != entries.end() && entry->first.getObj() == number &&
         entry->second.getType() == 2 && entry->second.getObjStreamNumber() == stream;
}

}  // namespace

bool ReadObjectStream(QPDF& pdf, int number, const XRefTable& entries, std::vector<int>& references,
                      Members& current) {
  QPDFObjectHandle stream = pdf.getObject(number, 0);
  Require(stream.isStream());
  auto data = stream.getStreamData(qpdf_dl_generalized);
  std::string bytes(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
  bytes += '\n';
  std::vector<Member> members = ReadHeader(bytes, stream.getDict());
  bool all = true;
  for (Member& member : members) {
    member.current = IsCurrent(entries, number, member.number);
    all = all && member.current;
  }
  std::vector<Member*> byPlace;
  for (Member& member : members)
    byPlace.push_back(&member);
  std::sort(byPlace.begin(), byPlace.end(),
            [](const Member* a, const Member* b) { return a->at < b->at; });
  size_t end = 0;
  for (Member* member : byPlace) {
    Require(member->at >= end);
    end = member->end = ReadMember(bytes, member->at, references);
  }
  current.clear();
  if (!all) {
    // Written anew, each member once: readers differ on which of two they take.
    std::vector<int> numbers;
    for (const Member& member : members)
      numbers.push_back(member.number);
    std::sort(numbers.begin(), numbers.end());
    Require(std::adjacent_find(numbers.begin(), numbers.end()) == numbers.end());
  }
  for (const Member& member : members) {
    if (!all && member.current)
      current.emplace_back(member.number, bytes.substr(member.at, member.end - member.at));
  }
  return all;
}

}  // namespace pdfl
