#include "copy_save.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <stdexcept>

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDFTokenizer.hh>
#include <qpdf/QUtil.hh>

#include "file_input.h"
#include "native.h"

namespace pdfl {

namespace {

using TokenType = QPDFTokenizer::token_type_e;

// What is left unsaid in a file is read as no copy: the document takes the
// rewrite, which needs none of this.
struct NotCopyable {};

void Require(bool condition) {
  if (!condition)
    throw NotCopyable();
}

// A number read from the file, which may be of any length.
int64_t ParseInteger(const std::string& text) {
  int64_t value = 0;
  const char* begin = text.data() + (!text.empty() && text[0] == '+' ? 1 : 0);
  auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
  Require(error == std::errc() && end == text.data() + text.size());
  return value;
}

// A length or place in the file as a count of bytes in memory, which on a
// 32-bit system is the narrower of the two.
size_t Bytes(int64_t value) {
  Require(value >= 0 && static_cast<uint64_t>(value) <= SIZE_MAX);
  return static_cast<size_t>(value);
}

int ObjectNumber(int64_t value) {
  Require(value >= 0 && value <= INT32_MAX);
  return static_cast<int>(value);
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

struct Token {
  TokenType type;
  std::string value;
  std::string raw;
  qpdf_offset_t at;
};

// Tokens of the source from a given offset.
class Reader {
 public:
  explicit Reader(const std::shared_ptr<InputSource>& in) : in_(in) {}

  void Seek(qpdf_offset_t at) { in_->seek(at, SEEK_SET); }
  qpdf_offset_t Tell() { return in_->tell(); }

  Token Next() {
    QPDFTokenizer::Token token = tokenizer_.readToken(in_, "copy", true, 0);
    Require(token.getType() != QPDFTokenizer::tt_bad && token.getType() != QPDFTokenizer::tt_eof);
    return {token.getType(), token.getValue(), token.getRawValue(), in_->getLastOffset()};
  }

  int64_t Integer() {
    Token token = Next();
    Require(token.type == QPDFTokenizer::tt_integer);
    return ParseInteger(token.value);
  }

  void Word(const char* word) {
    Token token = Next();
    Require(token.type == QPDFTokenizer::tt_word && token.value == word);
  }

  // After the keyword "stream": its end of line, then the data.
  qpdf_offset_t StreamData() {
    Word("stream");
    qpdf_offset_t at = Tell();
    std::string eol = ReadAt(*in_, at, 2);
    if (eol == "\r\n")
      return at + 2;
    Require(!eol.empty() && eol[0] == '\n');
    return at + 1;
  }

 private:
  std::shared_ptr<InputSource> in_;
  QPDFTokenizer tokenizer_;
};

// A dictionary's values at its top level, each as the tokens that make it
// ("n g R" for a reference, brackets and all for an array).
struct Dictionary {
  std::map<std::string, std::vector<Token>> values;

  bool Has(const std::string& key) const { return values.count(key) != 0; }
  const std::vector<Token>& Value(const std::string& key) const {
    auto value = values.find(key);
    Require(value != values.end());
    return value->second;
  }
};

Dictionary ReadDictionary(Reader& reader) {
  Require(reader.Next().type == QPDFTokenizer::tt_dict_open);
  Dictionary dictionary;
  std::vector<Token>* value = nullptr;
  bool valueDone = false;
  for (int depth = 0;;) {
    Token token = reader.Next();
    bool opens =
        token.type == QPDFTokenizer::tt_dict_open || token.type == QPDFTokenizer::tt_array_open;
    bool closes =
        token.type == QPDFTokenizer::tt_dict_close || token.type == QPDFTokenizer::tt_array_close;
    if (depth == 0 && token.type == QPDFTokenizer::tt_dict_close)
      return dictionary;
    // The generation and R of a reference continue an integer value.
    bool continues = valueDone && (token.type == QPDFTokenizer::tt_integer ||
                                   (token.type == QPDFTokenizer::tt_word && token.value == "R"));
    if (depth == 0 && (!value || valueDone) && !continues) {
      Require(token.type == QPDFTokenizer::tt_name);
      value = &dictionary.values[token.value];
      value->clear();
      valueDone = false;
      continue;
    }
    Require(value != nullptr);
    value->push_back(token);
    depth += opens ? 1 : closes ? -1 : 0;
    Require(depth >= 0);
    valueDone = depth == 0;
  }
}

int64_t IntegerValue(const Dictionary& dictionary, const std::string& key) {
  const std::vector<Token>& value = dictionary.Value(key);
  Require(value.size() == 1 && value[0].type == QPDFTokenizer::tt_integer);
  return ParseInteger(value[0].value);
}

// One cross-reference section: a table with its trailer, or a stream.
struct Section {
  bool stream = false;
  Dictionary dictionary;        // the trailer, or the stream's dictionary
  qpdf_offset_t at = 0;         // its first token: "xref", or the stream's "n g obj"
  qpdf_offset_t end = 0;        // just past the trailer's dictionary, or the stream's endobj
  QPDFObjGen object;            // a stream's
  qpdf_offset_t trailerAt = 0;  // a table's: where "trailer" starts
  // A table's in-use entries: where each one's ten offset digits start, and
  // the offset they hold.
  std::vector<std::pair<qpdf_offset_t, qpdf_offset_t>> entries;
};

// "n g obj" at the reader's place.
QPDFObjGen ReadObjectHeader(Reader& reader) {
  int64_t number = reader.Integer();
  int64_t generation = reader.Integer();
  Require(number > 0 && generation >= 0 && generation <= 65535);
  reader.Word("obj");
  return QPDFObjGen(ObjectNumber(number), static_cast<int>(generation));
}

// A stream object whose dictionary is read: which object it is, where its
// data starts, how long it is, and where it ends.
struct StreamObject {
  QPDFObjGen object;
  Dictionary dictionary;
  qpdf_offset_t dataAt = 0;
  int64_t length = 0;
  qpdf_offset_t end = 0;
};

StreamObject ReadStreamObject(const std::shared_ptr<InputSource>& in, qpdf_offset_t at, QPDF& pdf) {
  Reader reader(in);
  reader.Seek(at);
  StreamObject object;
  object.object = ReadObjectHeader(reader);
  object.dictionary = ReadDictionary(reader);
  object.dataAt = reader.StreamData();
  const std::vector<Token>& length = object.dictionary.Value("/Length");
  if (length.size() == 1) {
    object.length = IntegerValue(object.dictionary, "/Length");
  } else {
    Require(length.size() == 3);
    QPDFObjectHandle value = pdf.getObject(ObjectNumber(ParseInteger(length[0].value)),
                                           ObjectNumber(ParseInteger(length[1].value)));
    Require(value.isInteger());
    object.length = value.getIntValue();
  }
  Require(object.length >= 0 && object.length <= INT64_MAX - object.dataAt);
  reader.Seek(object.dataAt + object.length);
  reader.Word("endstream");
  reader.Word("endobj");
  object.end = reader.Tell();
  return object;
}

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

Section ReadTable(const std::shared_ptr<InputSource>& in, qpdf_offset_t at) {
  Section section;
  section.at = at;
  Reader reader(in);
  reader.Seek(at);
  reader.Word("xref");
  for (;;) {
    Token token = reader.Next();
    if (token.type == QPDFTokenizer::tt_word && token.value == "trailer") {
      section.trailerAt = token.at;
      break;
    }
    Require(token.type == QPDFTokenizer::tt_integer);
    int64_t count = reader.Integer();
    Require(count >= 0 && count < (int64_t(1) << 26));
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
      if (entry[17] == 'n')
        section.entries.emplace_back(entriesAt + skip + i * 20,
                                     ParseInteger(std::string(entry, 10)));
    }
    reader.Seek(entriesAt + skip + count * 20);
  }
  section.dictionary = ReadDictionary(reader);
  section.end = reader.Tell();
  return section;
}

// A reader takes startxref's offset with white space before the section, so
// the section starts at its first token: a splice that replaces the section
// from there leaves that white space in place.
Section ReadSection(const std::shared_ptr<InputSource>& in, qpdf_offset_t at, QPDF& pdf) {
  Reader reader(in);
  reader.Seek(at);
  Token first = reader.Next();
  if (first.type == QPDFTokenizer::tt_word && first.value == "xref")
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

// A new second /ID element with the same raw length as the old one, so that
// nothing moves: hex digits for a hex string, letters and digits otherwise.
std::string NewIdentifier(const std::string& raw, std::mt19937& random) {
  std::string fresh = raw;
  static const char kHex[] = "0123456789abcdef";
  static const char kPlain[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  bool hex = raw[0] == '<';
  for (size_t i = 1; i + 1 < fresh.size(); ++i) {
    if (hex && IsWhite(fresh[i]))
      continue;
    fresh[i] = hex ? kHex[random() % 16] : kPlain[random() % (sizeof kPlain - 1)];
  }
  return fresh;
}

// The second element of the dictionary's /ID array, or null.
const Token* SecondIdentifier(const Dictionary& dictionary) {
  if (!dictionary.Has("/ID"))
    return nullptr;
  const std::vector<Token>& id = dictionary.Value("/ID");
  Require(id.size() == 4 && id[1].type == QPDFTokenizer::tt_string &&
          id[2].type == QPDFTokenizer::tt_string && id[2].raw.size() >= 2);
  return &id[2];
}

std::string Decimal(int64_t value, size_t width) {
  Require(value >= 0);
  std::string digits = std::to_string(value);
  Require(digits.size() <= width);
  return std::string(width - digits.size(), '0') + digits;
}

qpdf_offset_t LengthOf(const std::string& bytes) {
  return static_cast<qpdf_offset_t>(bytes.size());
}

bool KeepLengths(const std::vector<Splice>& splices) {
  return std::all_of(splices.begin(), splices.end(),
                     [](const Splice& splice) { return LengthOf(splice.bytes) == splice.length; });
}

// Where a byte of the source that no splice replaces lands in the copy: it
// moves by what every splice before it adds or takes away. An insertion at
// the byte's own offset (length 0) lands before it, and so counts.
qpdf_offset_t Moved(const std::vector<Splice>& splices, qpdf_offset_t offset) {
  qpdf_offset_t moved = offset;
  for (const Splice& splice : splices) {
    if (splice.at + splice.length <= offset)
      moved += LengthOf(splice.bytes) - splice.length;
  }
  return moved;
}

// The end of the file: startxref, its offset, %%EOF and nothing after it but
// white space.
struct FileEnd {
  qpdf_offset_t size = 0;
  qpdf_offset_t keywordAt = 0;  // "startxref"
  qpdf_offset_t digitsAt = 0;   // the section's offset, as written
  qpdf_offset_t digitsLength = 0;
  qpdf_offset_t xrefAt = 0;
};

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

// One revision: one section, or the two of a linearized file, with no
// /XRefStm of a hybrid file.
std::vector<Section> ReadRevision(const std::shared_ptr<InputSource>& in, QPDF& pdf,
                                  qpdf_offset_t xrefAt) {
  std::vector<Section> sections;
  for (qpdf_offset_t at = xrefAt;;) {
    Require(sections.size() < (pdf.isLinearized() ? 2u : 1u));
    sections.push_back(ReadSection(in, at, pdf));
    const Dictionary& dictionary = sections.back().dictionary;
    Require(!dictionary.Has("/XRefStm"));
    if (!dictionary.Has("/Prev"))
      return sections;
    at = IntegerValue(dictionary, "/Prev");
  }
}

using XRefTable = std::map<QPDFObjGen, QPDFXRefEntry>;

// What the copy changes among the objects, before any cross-reference.
struct ObjectChanges {
  std::vector<Splice> splices;  // in file order
  std::string packet;
  // A first packet: a new stream object, inserted with a catalog rewritten
  // out of its object stream when it was in one, just before the section.
  bool addsStream = false;
  QPDFObjGen stream;
  qpdf_offset_t streamAt = 0;  // in the copy
  bool rewritesCatalog = false;
  QPDFObjGen catalog;
  qpdf_offset_t catalogAt = 0;  // in the copy
  int64_t size = 0;             // the new /Size
};

// A packet of the same object: the stream's data, and its direct /Length
// when that changes.
void ChangePacket(PDFLDoc& document, const XRefTable& entries, ObjectChanges& changes) {
  QPDF& pdf = *document.pdf;
  QPDFObjectHandle metadata = pdf.getRoot().getKey("/Metadata");
  Require(metadata.isIndirect() && !metadata.getDict().hasKey("/Filter"));
  auto entry = entries.find(metadata.getObjGen());
  Require(entry != entries.end() && entry->second.getType() == 1);
  StreamObject old = ReadStreamObject(document.source, entry->second.getOffset(), pdf);
  Require(old.object == metadata.getObjGen() && !old.dictionary.Has("/Filter"));
  auto data = metadata.getRawStreamData();
  changes.packet.assign(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
  if (LengthOf(changes.packet) != old.length) {
    const std::vector<Token>& length = old.dictionary.Value("/Length");
    Require(length.size() == 1);
    changes.splices.push_back(
        {length[0].at, LengthOf(length[0].raw), std::to_string(changes.packet.size())});
  }
  changes.splices.push_back({old.dataAt, old.length, changes.packet});
}

std::string MetadataObject(QPDFObjGen object, const std::string& packet) {
  return std::to_string(object.getObj()) + " " + std::to_string(object.getGen()) +
         " obj\n<< /Type /Metadata /Subtype /XML /Length " + std::to_string(packet.size()) +
         " >>\nstream\n" + packet + "\nendstream\nendobj\n";
}

// A first packet: a new stream object numbered /Size, which no object has,
// inserted just before the section, and a catalog that names it: spliced
// where the catalog is a top-level object, written anew after the stream
// where it is in an object stream (only an xref stream can then list it).
void AddPacket(PDFLDoc& document, const XRefTable& entries, const Section& section,
               ObjectChanges& changes) {
  QPDF& pdf = *document.pdf;
  changes.packet = document.addedPacket;
  changes.addsStream = true;
  int64_t size = IntegerValue(section.dictionary, "/Size");
  Require(size > 0 && size < INT32_MAX);
  Require(entries.empty() || entries.rbegin()->first.getObj() < size);
  changes.stream = QPDFObjGen(ObjectNumber(size), 0);
  changes.size = size + 1;
  changes.catalog = pdf.getRoot().getObjGen();
  auto entry = entries.find(changes.catalog);
  Require(entry != entries.end());

  std::string reference = " /Metadata " + std::to_string(size) + " 0 R";
  std::string inserted = MetadataObject(changes.stream, changes.packet);
  qpdf_offset_t catalogOffset = LengthOf(inserted);
  if (entry->second.getType() == 1) {
    Reader reader(document.source);
    reader.Seek(entry->second.getOffset());
    Require(ReadObjectHeader(reader) == changes.catalog);
    qpdf_offset_t dictAt = reader.Tell();
    Require(!ReadDictionary(reader).Has("/Metadata"));
    reader.Seek(dictAt);
    qpdf_offset_t open = reader.Next().at;
    changes.splices.push_back({open + 2, 0, reference});
  } else {
    Require(section.stream && !pdf.getRoot().hasKey("/Metadata"));
    std::string dict = pdf.getRoot().unparseResolved();
    Require(dict.compare(0, 2, "<<") == 0);
    changes.rewritesCatalog = true;
    inserted += std::to_string(changes.catalog.getObj()) + " " +
                std::to_string(changes.catalog.getGen()) + " obj\n<<" + reference + dict.substr(2) +
                "\nendobj\n";
  }
  changes.splices.push_back({section.at, 0, inserted});
  // The inserted objects start where the section would land without them.
  changes.streamAt = Moved(changes.splices, section.at) - LengthOf(inserted);
  changes.catalogAt = changes.streamAt + catalogOffset;
}

// The objects a moved cross-reference lists anew, at their offsets in the
// copy.
std::vector<std::pair<QPDFObjGen, qpdf_offset_t>> NewEntries(const ObjectChanges& changes) {
  std::vector<std::pair<QPDFObjGen, qpdf_offset_t>> entries;
  if (changes.addsStream)
    entries.emplace_back(changes.stream, changes.streamAt);
  if (changes.rewritesCatalog)
    entries.emplace_back(changes.catalog, changes.catalogAt);
  return entries;
}

// The cross-reference stream again: every type 1 row moved (an object listed
// twice, in overlapping ranges, has each of its rows moved, since a reader
// may take either), the new entries as type 1 rows, compressed without a
// predictor, with the new /Size and /ID[1].
std::string MovedXRefStream(QPDF& pdf, const Section& section,
                            const std::vector<Splice>& objectSplices, const ObjectChanges& changes,
                            const std::string& identifier) {
  QPDFObjectHandle stream = pdf.getObject(section.object);
  Require(stream.isStream());
  QPDFObjectHandle dict = stream.getDict();
  QPDFObjectHandle w = dict.getKey("/W");
  Require(w.isArray() && w.getArrayNItems() == 3);
  size_t widths[3];
  for (int i = 0; i < 3; ++i) {
    Require(w.getArrayItem(i).isInteger());
    long long width = w.getArrayItem(i).getIntValue();
    Require(width >= 0 && width <= 8);
    widths[i] = static_cast<size_t>(width);
  }
  size_t row = widths[0] + widths[1] + widths[2];
  Require(widths[0] > 0 && widths[1] > 0);
  QPDFObjectHandle index = dict.getKey("/Index");
  if (index.isNull())
    index = QPDFObjectHandle::newArray({QPDFObjectHandle::newInteger(0), dict.getKey("/Size")});
  Require(index.isArray() && index.getArrayNItems() % 2 == 0);
  std::vector<QPDFObjectHandle> ranges = index.getArrayAsVector();

  auto decoded = stream.getStreamData(qpdf_dl_generalized);
  std::string data(reinterpret_cast<const char*>(decoded->getBuffer()), decoded->getSize());
  // The ranges must count exactly the rows there are before any is read.
  Require(data.size() % row == 0);
  std::multimap<int64_t, size_t> rows;  // object number -> where its row starts
  size_t rowCount = data.size() / row, listed = 0;
  for (size_t i = 0; i < ranges.size(); i += 2) {
    Require(ranges[i].isInteger() && ranges[i + 1].isInteger());
    int64_t first = ranges[i].getIntValue(), count = ranges[i + 1].getIntValue();
    Require(first >= 0 && first <= INT32_MAX && count >= 0 &&
            static_cast<uint64_t>(count) <= rowCount - listed);
    for (int64_t n = 0; n < count; ++n, ++listed)
      rows.emplace(first + n, listed * row);
  }
  Require(listed == rowCount);

  auto get = [&](size_t at, size_t width) {
    uint64_t value = 0;
    for (size_t i = 0; i < width; ++i)
      value = (value << 8) | static_cast<unsigned char>(data[at + i]);
    return value;
  };
  auto put = [&](size_t at, size_t width, uint64_t value) {
    Require(width == 8 || value < (uint64_t(1) << (8 * width)));
    for (size_t i = width; i-- > 0; value >>= 8)
      data[at + i] = static_cast<char>(value & 0xff);
  };
  for (const auto& [number, start] : rows) {
    if (get(start, widths[0]) != 1)
      continue;
    uint64_t offset = get(start + widths[0], widths[1]);
    Require(offset <= static_cast<uint64_t>(INT64_MAX));
    put(start + widths[0], widths[1],
        static_cast<uint64_t>(Moved(objectSplices, static_cast<qpdf_offset_t>(offset))));
  }
  for (const auto& [object, offset] : NewEntries(changes)) {
    std::vector<size_t> starts;
    auto [first, last] = rows.equal_range(object.getObj());
    for (auto it = first; it != last; ++it)
      starts.push_back(it->second);
    if (starts.empty()) {
      starts.push_back(data.size());
      data.append(row, '\0');
      ranges.push_back(QPDFObjectHandle::newInteger(object.getObj()));
      ranges.push_back(QPDFObjectHandle::newInteger(1));
    }
    for (size_t start : starts) {
      put(start, widths[0], 1);
      put(start + widths[0], widths[1], static_cast<uint64_t>(offset));
      put(start + widths[0] + widths[1], widths[2], static_cast<uint64_t>(object.getGen()));
    }
  }

  Pl_Buffer buffer("xref stream");
  Pl_Flate flate("xref stream", &buffer, Pl_Flate::a_deflate);
  flate.write(reinterpret_cast<const unsigned char*>(data.data()), data.size());
  flate.finish();
  auto compressed = buffer.getBufferSharedPointer();

  QPDFObjectHandle copy = dict.shallowCopy();
  copy.replaceKey("/Length",
                  QPDFObjectHandle::newInteger(static_cast<long long>(compressed->getSize())));
  copy.replaceKey("/Filter", QPDFObjectHandle::newName("/FlateDecode"));
  copy.removeKey("/DecodeParms");
  if (changes.addsStream)
    copy.replaceKey("/Size", QPDFObjectHandle::newInteger(changes.size));
  copy.replaceKey("/Index", QPDFObjectHandle::newArray(ranges));
  QPDFObjectHandle id = copy.getKey("/ID");
  if (!identifier.empty() && id.isArray() && id.getArrayNItems() == 2)
    copy.replaceKey("/ID", QPDFObjectHandle::newArray(
                               {id.getArrayItem(0), QPDFObjectHandle::parse(identifier)}));
  return std::to_string(section.object.getObj()) + " " + std::to_string(section.object.getGen()) +
         " obj\n" + copy.unparse() + "\nstream\n" +
         std::string(reinterpret_cast<const char*>(compressed->getBuffer()),
                     compressed->getSize()) +
         "\nendstream\nendobj";
}

// A table's in-use entries moved in place, and a subsection for the new
// stream, as one splice of everything before "trailer".
Splice MovedTable(InputSource& in, const Section& section, const std::vector<Splice>& objectSplices,
                  const ObjectChanges& changes) {
  std::string table = ReadAt(in, section.at, Bytes(section.trailerAt - section.at));
  Require(LengthOf(table) == section.trailerAt - section.at);
  for (const auto& [at, offset] : section.entries)
    table.replace(Bytes(at - section.at), 10, Decimal(Moved(objectSplices, offset), 10));
  if (changes.addsStream)
    table += std::to_string(changes.stream.getObj()) + " 1\n" + Decimal(changes.streamAt, 10) +
             " 00000 n\r\n";
  return {section.at, section.trailerAt - section.at, table};
}

// Nothing but white space may lie between `from` and `to`: bytes there
// would move without any entry saying so.
void RequireWhiteBetween(InputSource& in, qpdf_offset_t from, qpdf_offset_t to) {
  Require(from <= to && to - from <= 1 << 20);
  std::string between = ReadAt(in, from, Bytes(to - from));
  Require(LengthOf(between) == to - from);
  for (char c : between)
    Require(IsWhite(c));
}

void Plan(PDFLDoc& document, bool linearize, CopyPlan& plan) {
  QPDF& pdf = *document.pdf;
  const std::shared_ptr<InputSource>& in = document.source;
  Require(in && !document.changedBeyondMetadata && !pdf.anyWarnings() && !pdf.isEncrypted() &&
          linearize == pdf.isLinearized());
  FileEnd end = ReadFileEnd(*in);
  std::vector<Section> sections = ReadRevision(in, pdf, end.xrefAt);

  // The source's cross-reference as QPDF resolves it: a copy of QPDF's map,
  // made once.
  const XRefTable entries = pdf.getXRefTable();
  ObjectChanges changes;
  if (document.addsPacket) {
    Require(sections.size() == 1);
    AddPacket(document, entries, sections[0], changes);
  } else if (pdf.getRoot().getKey("/Metadata").isStream()) {
    ChangePacket(document, entries, changes);
  }
  plan.packet = changes.packet;
  std::sort(changes.splices.begin(), changes.splices.end(),
            [](const Splice& a, const Splice& b) { return a.at < b.at; });

  // When objects move, the one section is written anew and so must come
  // after every object, with only white space between it and startxref: an
  // object after it would move by what the section gains, which no entry
  // counts. A linearized file's offsets are fixed by its hint tables.
  bool moves = !KeepLengths(changes.splices);
  if (moves) {
    const Section& section = sections[0];
    Require(sections.size() == 1 && !pdf.isLinearized() && !changes.splices.empty() &&
            section.at >= changes.splices.back().at + changes.splices.back().length);
    for (const auto& [object, entry] : entries)
      Require(entry.getType() != 1 || entry.getOffset() < section.at ||
              (section.stream && object == section.object));
    RequireWhiteBetween(*in, section.end, end.keywordAt);
  }

  // Each old /ID[1] gets one new value, the same in every trailer.
  std::mt19937 random(std::random_device{}());
  std::map<std::string, std::string> identifiers;
  for (const Section& section : sections) {
    if (const Token* id = SecondIdentifier(section.dictionary)) {
      if (!identifiers.count(id->raw))
        identifiers[id->raw] = NewIdentifier(id->raw, random);
    }
  }

  std::vector<Splice> splices = changes.splices;
  for (const Section& section : sections) {
    const Token* id = SecondIdentifier(section.dictionary);
    std::string identifier = id ? identifiers[id->raw] : std::string();
    if (moves && section.stream) {
      splices.push_back({section.at, section.end - section.at,
                         MovedXRefStream(pdf, section, changes.splices, changes, identifier)});
      continue;
    }
    if (moves)
      splices.push_back(MovedTable(*in, section, changes.splices, changes));
    if (changes.addsStream) {
      const std::vector<Token>& size = section.dictionary.Value("/Size");
      Require(size.size() == 1);
      splices.push_back({size[0].at, LengthOf(size[0].raw), std::to_string(changes.size)});
    }
    if (id)
      splices.push_back({id->at, LengthOf(id->raw), identifier});
  }
  if (moves)
    splices.push_back(
        {end.digitsAt, end.digitsLength, std::to_string(Moved(changes.splices, sections[0].at))});

  // Splices at one offset keep their order: an insertion before what
  // follows it there.
  std::stable_sort(splices.begin(), splices.end(),
                   [](const Splice& a, const Splice& b) { return a.at < b.at; });
  for (size_t i = 1; i < splices.size(); ++i)
    Require(splices[i - 1].at + splices[i - 1].length <= splices[i].at);
  plan.splices = std::move(splices);
}

}  // namespace

bool PlanCopy(PDFLDoc& document, bool linearize, CopyPlan& plan) {
  plan = CopyPlan();
  try {
    Plan(document, linearize, plan);
    return true;
  } catch (const NotCopyable&) {
  } catch (const std::runtime_error&) {
    // QPDF's own errors on what it reads here (QPDFExc, system errors) mean
    // the same: the document takes the rewrite. Anything else is a fault.
  }
  plan = CopyPlan();
  return false;
}

bool CopyPlan::KeepsLengths() const {
  return KeepLengths(splices);
}

CopyPlan CopyPlan::Undo(InputSource& source) const {
  CopyPlan undo;
  for (const Splice& splice : splices) {
    std::string old = ReadAt(source, splice.at, splice.bytes.size());
    if (old.size() != splice.bytes.size())
      throw std::runtime_error("read failed");
    undo.splices.push_back({splice.at, LengthOf(old), old});
  }
  return undo;
}

void WriteSplices(const CopyPlan& plan, FILE* file) {
  for (const Splice& splice : plan.splices) {
    if (QUtil::seek(file, splice.at, SEEK_SET) != 0 ||
        std::fwrite(splice.bytes.data(), 1, splice.bytes.size(), file) != splice.bytes.size())
      throw std::runtime_error("write failed");
  }
  if (std::fflush(file) != 0)
    throw std::runtime_error("write failed");
}

void WriteCopy(InputSource& source, const CopyPlan& plan, FILE* out) {
  source.seek(0, SEEK_END);
  qpdf_offset_t size = source.tell();
  auto* file = dynamic_cast<FileInput*>(&source);
  std::vector<char> block;
  auto copy = [&](qpdf_offset_t from, qpdf_offset_t to) {
    if (file) {
      CopyBytes(file->file(), from, to - from, out);
      return;
    }
    block.resize(1 << 20);
    source.seek(from, SEEK_SET);
    while (from < to) {
      size_t want = static_cast<size_t>(std::min<qpdf_offset_t>(block.size(), to - from));
      size_t got = source.read(block.data(), want);
      if (got == 0 || std::fwrite(block.data(), 1, got, out) != got)
        throw std::runtime_error("copy failed");
      from += got;
    }
  };
  qpdf_offset_t at = 0;
  for (const Splice& splice : plan.splices) {
    copy(at, splice.at);
    if (std::fwrite(splice.bytes.data(), 1, splice.bytes.size(), out) != splice.bytes.size())
      throw std::runtime_error("write failed");
    at = splice.at + splice.length;
  }
  copy(at, size);
}

}  // namespace pdfl
