#include "xref_layout.h"

#include <algorithm>
#include <climits>

#include "document.h"

namespace pdfl {

uint64_t XRefRows::Field(size_t row, int field) const {
  size_t at = row * RowSize();
  for (int i = 0; i < field; ++i)
    at += widths[i];
  uint64_t value = 0;
  for (size_t i = 0; i < widths[field]; ++i)
    value = (value << 8) | static_cast<unsigned char>(data[at + i]);
  return value;
}

void XRefRows::SetField(size_t row, int field, uint64_t value) {
  size_t at = row * RowSize();
  for (int i = 0; i < field; ++i)
    at += widths[i];
  size_t width = widths[field];
  Require(width == 8 || value < (uint64_t(1) << (8 * width)));
  for (size_t i = width; i-- > 0; value >>= 8)
    data[at + i] = static_cast<char>(value & 0xff);
}

namespace {

bool IsDigits(const char* text, size_t count) {
  return std::all_of(text, text + count, [](char c) { return c >= '0' && c <= '9'; });
}

// A table entry: ten digits, a space, five digits, a space, n or f, and a
// two-byte end of line.
bool IsTableEntry(const char* entry) {
  std::string eol(entry + 18, 2);
  return IsDigits(entry, 10) && entry[10] == ' ' && IsDigits(entry + 11, 5) && entry[16] == ' ' &&
         (entry[17] == 'n' || entry[17] == 'f') && (eol == " \r" || eol == " \n" || eol == "\r\n");
}

// The `count` object numbers from `first` are all numbers an object can have.
void RequireNumbers(int64_t first, int64_t count) {
  Require(first >= 0 && first <= INT32_MAX && count >= 0 &&
          count <= int64_t(INT32_MAX) + 1 - first);
}

Section ReadTable(const std::shared_ptr<InputSource>& in, qpdf_offset_t at) {
  Section section;
  section.at = at;
  Reader reader(in);
  reader.Seek(at);
  reader.Word("xref");
  for (;;) {
    Token token = reader.Next();
    if (token.IsWord("trailer")) {
      section.trailerAt = token.at;
      break;
    }
    Require(token.type == QPDFTokenizer::tt_integer);
    int64_t first = ParseInteger(token.value);
    int64_t count = reader.Integer();
    RequireNumbers(first, count);
    Require(count < (int64_t(1) << 26));
    // The entries start on the next line, twenty bytes each.
    qpdf_offset_t entriesAt = reader.Tell();
    std::string bytes = ReadAt(*in, entriesAt, Bytes(4 + count * 20));
    size_t skip = 0;
    while (skip < bytes.size() && skip < 4 && IsWhite(bytes[skip]))
      ++skip;
    Require(bytes.size() >= skip + count * 20);
    for (int64_t i = 0; i < count; ++i) {
      const char* entry = bytes.data() + skip + i * 20;
      Require(IsTableEntry(entry));
      if (entry[17] == 'n') {
        XRefEntry row;
        row.offset = ParseInteger(std::string(entry, 10));
        row.digitsAt = entriesAt + static_cast<qpdf_offset_t>(skip + i * 20);
        section.entries.push_back(row);
      }
    }
    reader.Seek(entriesAt + static_cast<qpdf_offset_t>(skip + count * 20));
  }
  section.dictionary = ReadDictionary(reader);
  section.end = reader.Tell();
  return section;
}

// The /Index ranges of a cross-reference stream: (first number, count).
std::vector<std::pair<int64_t, int64_t>> IndexRanges(QPDFObjectHandle dict) {
  QPDFObjectHandle index = dict.getKey("/Index");
  if (index.isNull())
    index = QPDFObjectHandle::newArray({QPDFObjectHandle::newInteger(0), dict.getKey("/Size")});
  Require(index.isArray() && index.getArrayNItems() % 2 == 0);
  std::vector<std::pair<int64_t, int64_t>> ranges;
  for (int i = 0; i < index.getArrayNItems(); i += 2) {
    QPDFObjectHandle first = index.getArrayItem(i), count = index.getArrayItem(i + 1);
    Require(first.isInteger() && count.isInteger());
    long long from = first.getIntValue(), n = count.getIntValue();
    RequireNumbers(from, n);
    ranges.emplace_back(from, n);
  }
  return ranges;
}

// The rows as /W and /Index describe them; the ranges must count exactly
// the rows there are.
XRefRows ReadRows(QPDFObjectHandle stream) {
  XRefRows rows;
  QPDFObjectHandle dict = stream.getDict();
  QPDFObjectHandle w = dict.getKey("/W");
  Require(w.isArray() && w.getArrayNItems() == 3);
  for (int i = 0; i < 3; ++i) {
    Require(w.getArrayItem(i).isInteger());
    long long width = w.getArrayItem(i).getIntValue();
    Require(width >= 0 && width <= 8);
    rows.widths[i] = static_cast<size_t>(width);
  }
  Require(rows.widths[0] > 0 && rows.widths[1] > 0);
  rows.ranges = IndexRanges(dict);
  auto decoded = stream.getStreamData(qpdf_dl_generalized);
  rows.data.assign(reinterpret_cast<const char*>(decoded->getBuffer()), decoded->getSize());
  Require(rows.data.size() % rows.RowSize() == 0);
  size_t listed = 0;
  for (const auto& [first, count] : rows.ranges) {
    Require(static_cast<uint64_t>(count) <= rows.Count() - listed);
    listed += static_cast<size_t>(count);
  }
  Require(listed == rows.Count());
  return rows;
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
Section ReadSection(const std::shared_ptr<InputSource>& in, qpdf_offset_t at, QPDF& pdf) {
  Reader reader(in);
  reader.Seek(at);
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

FileEnd ReadFileEnd(InputSource& in) {
  FileEnd end;
  in.seek(0, SEEK_END);
  end.size = in.tell();
  qpdf_offset_t tailAt = std::max<qpdf_offset_t>(0, end.size - 1024);
  std::string tail = ReadAt(in, tailAt, Bytes(end.size - tailAt));
  size_t eof = tail.rfind("%%EOF");
  Require(eof != std::string::npos);
  for (size_t i = eof + 5; i < tail.size(); ++i)
    Require(IsWhite(tail[i]));
  size_t keyword = tail.rfind("startxref", eof);
  Require(keyword != std::string::npos);
  size_t digits = keyword + 9;
  while (digits < eof && IsWhite(tail[digits]))
    ++digits;
  size_t digitsEnd = digits;
  while (digitsEnd < eof && tail[digitsEnd] >= '0' && tail[digitsEnd] <= '9')
    ++digitsEnd;
  Require(digitsEnd > digits && digitsEnd - digits < 16);
  end.keywordAt = tailAt + static_cast<qpdf_offset_t>(keyword);
  end.digitsAt = tailAt + static_cast<qpdf_offset_t>(digits);
  end.digitsLength = static_cast<qpdf_offset_t>(digitsEnd - digits);
  end.xrefAt = ParseInteger(tail.substr(digits, digitsEnd - digits));
  return end;
}

std::vector<Section> ReadRevision(const std::shared_ptr<InputSource>& in, QPDF& pdf,
                                  qpdf_offset_t xrefAt) {
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

bool ObjectLayout::Names(int number) const {
  return std::binary_search(references.begin(), references.end(), number);
}

namespace {

void AddTrailerReferences(const Dictionary& dictionary, std::vector<int>& references) {
  for (const auto& [key, value] : dictionary.values)
    AddReferences(value, &references);
}

void AddObjectStreamReferences(QPDF& pdf, int number, int from, std::vector<int>& references) {
  QPDFObjectHandle stream = pdf.getObject(number, 0);
  Require(stream.isStream());
  auto data = stream.getStreamData(qpdf_dl_generalized);
  std::string bytes(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
  bytes += '\n';
  ReadReferences(bytes, from, references);
}

}  // namespace

namespace {

// Whether the one stream of a revision lists no object twice: then QPDF's
// reading of it says where each object it lists lies, and its rows need
// not be decoded again.
bool ListsEachObjectOnce(QPDF& pdf, const std::vector<Section>& sections) {
  if (sections.size() != 1 || !sections[0].stream)
    return false;
  auto ranges = IndexRanges(pdf.getObject(sections[0].object).getDict());
  std::sort(ranges.begin(), ranges.end());
  for (size_t i = 1; i < ranges.size(); ++i) {
    if (ranges[i - 1].first + ranges[i - 1].second > ranges[i].first)
      return false;
  }
  return true;
}

}  // namespace

ObjectLayout ReadObjectLayout(const std::shared_ptr<InputSource>& in, QPDF& pdf,
                              std::vector<Section>& sections, const XRefTable& entries,
                              bool references) {
  // What QPDF takes from an offset, in file order, and the object streams.
  std::vector<std::pair<qpdf_offset_t, QPDFObjGen>> listed;
  std::vector<int> objectStreams;
  for (const auto& [object, entry] : entries) {
    if (entry.getType() == 1)
      listed.emplace_back(entry.getOffset(), object);
    else if (entry.getType() == 2 && references)
      objectStreams.push_back(entry.getObjStreamNumber());
  }
  std::sort(listed.begin(), listed.end());
  std::vector<qpdf_offset_t> starts;
  if (ListsEachObjectOnce(pdf, sections)) {
    for (const auto& [at, object] : listed)
      starts.push_back(at);
  } else {
    for (Section& section : sections) {
      ReadStreamRows(pdf, section);
      for (const XRefEntry& entry : section.entries)
        starts.push_back(entry.offset);
    }
    std::sort(starts.begin(), starts.end());
  }
  starts.erase(std::unique(starts.begin(), starts.end()), starts.end());

  ObjectLayout layout;
  layout.referencesRead = references;
  std::vector<int>* found = references ? &layout.references : nullptr;
  for (qpdf_offset_t at : starts)
    layout.extents.push_back(ReadExtent(in, at, pdf, found));
  // Each object QPDF takes from an offset has its own header there.
  auto extent = layout.extents.begin();
  for (const auto& [at, object] : listed) {
    while (extent != layout.extents.end() && extent->at < at)
      ++extent;
    Require(extent != layout.extents.end() && extent->at == at && extent->object == object);
  }
  for (const Section& section : sections) {
    layout.sections.push_back(section.at);
    if (!section.stream)
      layout.extents.push_back({section.at, section.end, QPDFObjGen()});
    else if (!std::binary_search(starts.begin(), starts.end(), section.at))
      layout.extents.push_back({section.at, section.end, section.object});
    if (references)
      AddTrailerReferences(section.dictionary, layout.references);
  }
  std::sort(layout.extents.begin(), layout.extents.end(),
            [](const Extent& a, const Extent& b) { return a.at < b.at; });
  std::sort(layout.sections.begin(), layout.sections.end());
  if (references) {
    // Only numbers that no object has yet matter: a new object takes one.
    int64_t size = INT32_MAX;
    for (const Section& section : sections)
      size = std::min(size, IntegerValue(section.dictionary, "/Size"));
    int from = ObjectNumber(size);
    auto taken = [from](int number) { return number < from; };
    layout.references.erase(
        std::remove_if(layout.references.begin(), layout.references.end(), taken),
        layout.references.end());
    std::sort(objectStreams.begin(), objectStreams.end());
    objectStreams.erase(std::unique(objectStreams.begin(), objectStreams.end()),
                        objectStreams.end());
    for (int number : objectStreams)
      AddObjectStreamReferences(pdf, number, from, layout.references);
    std::sort(layout.references.begin(), layout.references.end());
    layout.references.erase(std::unique(layout.references.begin(), layout.references.end()),
                            layout.references.end());
  }
  return layout;
}

}  // namespace pdfl
