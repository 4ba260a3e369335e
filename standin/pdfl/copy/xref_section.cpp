#include "copy/xref_section.h"

#include <algorithm>
#include <climits>
#include <set>

#include "copy/not_copyable.h"
#include "copy/object_extent.h"
#include "copy/pdf_syntax.h"

namespace pdfl {

namespace {

bool IsDigits(const char* text, size_t count) {
  return std::all_of(text, text + count, IsDigit);
}

// A table entry: ten digits, a space, five digits, a space, n or f, and a
// two-byte end of line.
bool IsTableEntry(const char* entry) {
  std::string_view eol(entry + 18, 2);
  return IsDigits(entry, 10) && entry[10] == ' ' && IsDigits(entry + 11, 5) && entry[16] == ' ' &&
         (entry[17] == 'n' || entry[17] == 'f') && (eol == " \r" || eol == " \n" || eol == "\r\n");
}

// One subsection's entries, which start on the line after its first number
// and count, twenty bytes each; gives where they end.
qpdf_offset_t ReadSubsection(InputSource& in, qpdf_offset_t entriesAt, int64_t count,
                             Section& section) {
  std::string bytes = ReadAt(in, entriesAt, Bytes(4 + count * 20));
  size_t skip = 0;
  while (skip < bytes.size() && skip < 4 && IsWhite(bytes[skip]))
    ++skip;
  Require(bytes.size() >= skip + count * 20);
  for (int64_t i = 0; i < count; ++i) {
    const char* entry = bytes.data() + skip + i * 20;
    Require(IsTableEntry(entry));
    if (entry[17] == 'n') {
      XRefEntry row;
      row.offset = ParseInteger(std::string_view(entry, 10));
      row.digitsAt = entriesAt + static_cast<qpdf_offset_t>(skip + i * 20);
      section.entries.push_back(row);
    }
  }
  return entriesAt + static_cast<qpdf_offset_t>(skip + count * 20);
}

Section ReadTable(InputSource& in, qpdf_offset_t at) {
  Section section;
  section.at = at;
  TokenReader reader(in, at);
  reader.Word("xref");
  for (;;) {
    Token token = reader.Next();
    if (token.IsWord("trailer")) {
      section.trailerAt = token.at;
      break;
    }
    Require(token.kind == Kind::kInteger);
    int64_t first = ParseInteger(token.raw);
    int64_t count = reader.Integer();
    RequireNumbers(first, count);
    Require(count < (int64_t(1) << 26));
    reader.Seek(ReadSubsection(in, reader.Tell(), count, section));
  }
  section.dictionary = ReadDictionary(reader);
  section.end = reader.Tell();
  return section;
}

// The stream's in-use entries; an entry in an object stream must name one
// that can be.
void ReadStreamEntries(Section& section) {
  section.entries.clear();
  for (size_t row = 0; row < section.rows.Count(); ++row) {
    uint64_t type = section.rows.Field(row, 0);
    uint64_t second = section.rows.Field(row, 1);
    Require(type != 1 || second <= static_cast<uint64_t>(INT64_MAX));
    Require(type != 2 || second <= INT32_MAX);
    if (type == 1) {
      XRefEntry entry;
      entry.offset = static_cast<qpdf_offset_t>(second);
      section.entries.push_back(entry);
    }
  }
}

}  // namespace

// A splice that replaces the section from its first token leaves the white
// space before it in place.
Section ReadSection(InputSource& in, qpdf_offset_t at, QPDF& pdf) {
  TokenReader reader(in, at);
  Token first = reader.Next();
  if (first.IsWord("xref"))
    return ReadTable(in, first.at);
  Section section;
  section.stream = true;
  section.at = first.at;
  StreamObject object = ReadStreamObject(in, first.at, pdf);
  section.object = object.object;
  section.dictionary = object.dictionary;
  section.end = object.end;
  return section;
}

void ReadStreamRows(QPDF& pdf, Section& section) {
  if (!section.stream || section.rowsRead)
    return;
  QPDFObjectHandle stream = pdf.getObject(section.object);
  Require(stream.isStream());
  section.rows = ReadRows(stream);
  ReadStreamEntries(section);
  section.rowsRead = true;
}

std::vector<Section> ReadRevision(InputSource& in, QPDF& pdf, qpdf_offset_t xrefAt) {
  std::vector<Section> sections;
  for (qpdf_offset_t at = xrefAt;;) {
    Require(sections.size() < (pdf.isLinearized() ? 2u : 1u));
    sections.push_back(ReadSection(in, at, pdf));
    const Dictionary& dictionary = sections.back().dictionary;
    Require(!dictionary.Has("/XRefStm"));
    if (!dictionary.Has("/Prev"))
      break;
    at = IntegerValue(dictionary, "/Prev");
  }
  // A linearized file's first section, at its start, names the main one
  // after it; a section at the end that names an earlier one is an update.
  Require(sections.size() == 1 || sections[0].at < sections[1].at);
  return sections;
}

std::vector<Section> ReadChain(InputSource& in, QPDF& pdf, qpdf_offset_t xrefAt) {
  std::vector<Section> sections;
  std::vector<qpdf_offset_t> pending = {xrefAt};
  std::set<qpdf_offset_t> read;
  while (!pending.empty()) {
    qpdf_offset_t at = pending.back();
    pending.pop_back();
    if (!read.insert(at).second)
      continue;
    Require(read.size() <= 10000);
    sections.push_back(ReadSection(in, at, pdf));
    const Dictionary& dictionary = sections.back().dictionary;
    if (dictionary.Has("/Prev"))
      pending.push_back(IntegerValue(dictionary, "/Prev"));
    if (dictionary.Has("/XRefStm"))
      pending.push_back(IntegerValue(dictionary, "/XRefStm"));
  }
  return sections;
}

}  // namespace pdfl
