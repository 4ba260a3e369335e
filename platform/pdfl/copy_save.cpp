#include "copy_save.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <stdexcept>

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDFTokenizer.hh>

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
    return std::stoll(token.value);
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
  const std::vector<Token>& Value(const std::string& key) const { return values.at(key); }
};

Dictionary ReadDictionary(Reader& reader) {
  Require(reader.Next().type == QPDFTokenizer::tt_dict_open);
  Dictionary dictionary;
  std::vector<Token>* value = nullptr;
  bool valueDone = false;
  for (int depth = 0;;) {
    Token token = reader.Next();
    bool opens = token.type == QPDFTokenizer::tt_dict_open ||
                 token.type == QPDFTokenizer::tt_array_open;
    bool closes = token.type == QPDFTokenizer::tt_dict_close ||
                  token.type == QPDFTokenizer::tt_array_close;
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
  return std::stoll(value[0].value);
}

// One cross-reference section: a table with its trailer, or a stream.
struct Section {
  bool stream = false;
  Dictionary dictionary;   // the trailer, or the stream's dictionary
  qpdf_offset_t at = 0;
  qpdf_offset_t end = 0;   // a stream's: just past its endobj
  QPDFObjGen object;       // a stream's
  qpdf_offset_t trailerAt = 0;  // a table's: where "trailer" starts
  // A table's in-use entries: where each one's ten offset digits start, and
  // the offset they hold.
  std::vector<std::pair<qpdf_offset_t, qpdf_offset_t>> entries;
};

// "n g obj" at the reader's place.
QPDFObjGen ReadObjectHeader(Reader& reader) {
  int64_t number = reader.Integer();
  int64_t generation = reader.Integer();
  Require(number > 0 && number <= INT32_MAX && generation >= 0 && generation <= 65535);
  reader.Word("obj");
  return QPDFObjGen(static_cast<int>(number), static_cast<int>(generation));
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

StreamObject ReadStreamObject(const std::shared_ptr<InputSource>& in, qpdf_offset_t at,
                              QPDF& pdf) {
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
    object.length = pdf.getObject(std::stoi(length[0].value), std::stoi(length[1].value))
                        .getIntValue();
  }
  Require(object.length >= 0);
  reader.Seek(object.dataAt + object.length);
  reader.Word("endstream");
  reader.Word("endobj");
  object.end = reader.Tell();
  return object;
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
    std::string bytes = ReadAt(*in, entriesAt, 4 + count * 20);
    size_t skip = 0;
    while (skip < bytes.size() && skip < 4 && IsWhite(bytes[skip]))
      ++skip;
    Require(bytes.size() >= skip + count * 20);
    for (int64_t i = 0; i < count; ++i) {
      const char* entry = bytes.data() + skip + i * 20;
      for (int d = 0; d < 10; ++d)
        Require(entry[d] >= '0' && entry[d] <= '9');
      Require(entry[10] == ' ' && (entry[17] == 'n' || entry[17] == 'f'));
      if (entry[17] == 'n')
        section.entries.emplace_back(entriesAt + skip + i * 20,
                                     std::stoll(std::string(entry, 10)));
    }
    reader.Seek(entriesAt + skip + count * 20);
  }
  section.dictionary = ReadDictionary(reader);
  section.end = reader.Tell();
  return section;
}

Section ReadSection(const std::shared_ptr<InputSource>& in, qpdf_offset_t at, QPDF& pdf) {
  if (ReadAt(*in, at, 4) == "xref")
    return ReadTable(in, at);
  Section section;
  section.stream = true;
  section.at = at;
  StreamObject object = ReadStreamObject(in, at, pdf);
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
  std::string digits = std::to_string(value);
  Require(digits.size() <= width);
  return std::string(width - digits.size(), '0') + digits;
}

// Where the bytes at an offset of the source land in the copy: past every
// splice of the objects that ends at or before it, insertions there included.
class Moves {
 public:
  explicit Moves(const std::vector<Splice>& splices) : splices_(splices) {}
  qpdf_offset_t operator()(qpdf_offset_t offset) const {
    qpdf_offset_t moved = offset;
    for (const Splice& splice : splices_) {
      if (splice.at + splice.length <= offset)
        moved += static_cast<qpdf_offset_t>(splice.bytes.size()) - splice.length;
    }
    return moved;
  }

 private:
  const std::vector<Splice>& splices_;
};

// A top-level object that the copy adds or moves, and where it lands.
struct AddedObject {
  QPDFObjGen object;
  qpdf_offset_t offset;
};

// The cross-reference stream again: its type 1 offsets moved, the added
// objects as type 1 entries (a catalog leaves its object stream), compressed
// without a predictor, with the new /ID[1].
std::string MovedXRefStream(QPDF& pdf, const Section& section, const Moves& moved,
                            const std::vector<AddedObject>& added, int64_t size,
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
  Require(data.size() % row == 0);
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
  // The row of each object number the stream lists.
  std::map<int64_t, size_t> rows;
  size_t at = 0;
  for (size_t i = 0; i < ranges.size(); i += 2) {
    Require(ranges[i].isInteger() && ranges[i + 1].isInteger());
    for (int64_t n = 0; n < ranges[i + 1].getIntValue(); ++n, at += row)
      rows[ranges[i].getIntValue() + n] = at;
  }
  Require(at == data.size());
  for (const auto& [number, start] : rows) {
    if (get(start, widths[0]) == 1)
      put(start + widths[0], widths[1], moved(get(start + widths[0], widths[1])));
  }
  for (const AddedObject& object : added) {
    auto existing = rows.find(object.object.getObj());
    size_t start = existing != rows.end() ? existing->second : data.size();
    if (existing == rows.end()) {
      data.append(row, '\0');
      ranges.push_back(QPDFObjectHandle::newInteger(object.object.getObj()));
      ranges.push_back(QPDFObjectHandle::newInteger(1));
    }
    put(start, widths[0], 1);
    put(start + widths[0], widths[1], object.offset);
    put(start + widths[0] + widths[1], widths[2], object.object.getGen());
  }

  Pl_Buffer buffer("xref stream");
  Pl_Flate flate("xref stream", &buffer, Pl_Flate::a_deflate);
  flate.write(reinterpret_cast<const unsigned char*>(data.data()), data.size());
  flate.finish();
  auto compressed = buffer.getBufferSharedPointer();

  QPDFObjectHandle copy = dict.shallowCopy();
  copy.replaceKey("/Length", QPDFObjectHandle::newInteger(compressed->getSize()));
  copy.replaceKey("/Filter", QPDFObjectHandle::newName("/FlateDecode"));
  copy.removeKey("/DecodeParms");
  copy.replaceKey("/Size", QPDFObjectHandle::newInteger(size));
  copy.replaceKey("/Index", QPDFObjectHandle::newArray(ranges));
  QPDFObjectHandle id = copy.getKey("/ID");
  if (!identifier.empty() && id.isArray() && id.getArrayNItems() == 2)
    copy.replaceKey("/ID", QPDFObjectHandle::newArray(
                               {id.getArrayItem(0), QPDFObjectHandle::parse(identifier)}));
  return std::to_string(section.object.getObj()) + " " +
         std::to_string(section.object.getGen()) + " obj\n" + copy.unparse() + "\nstream\n" +
         std::string(reinterpret_cast<const char*>(compressed->getBuffer()),
                     compressed->getSize()) +
         "\nendstream\nendobj";
}

std::string MetadataObject(QPDFObjGen object, const std::string& packet) {
  return std::to_string(object.getObj()) + " " + std::to_string(object.getGen()) +
         " obj\n<< /Type /Metadata /Subtype /XML /Length " + std::to_string(packet.size()) +
         " >>\nstream\n" + packet + "\nendstream\nendobj\n";
}

void Plan(PDFLDoc& document, bool linearize, CopyPlan& plan) {
  QPDF& pdf = *document.pdf;
  const std::shared_ptr<InputSource>& in = document.source;
  Require(in && !document.changedBeyondMetadata && !pdf.anyWarnings() && !pdf.isEncrypted() &&
          linearize == pdf.isLinearized());

  // The end of the file: startxref, its offset, %%EOF and nothing after.
  in->seek(0, SEEK_END);
  qpdf_offset_t size = in->tell();
  qpdf_offset_t tailAt = std::max<qpdf_offset_t>(0, size - 1024);
  std::string tail = ReadAt(*in, tailAt, size - tailAt);
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
  qpdf_offset_t xrefAt = std::stoll(tail.substr(digits, digitsEnd - digits));

  // One revision: one section, or the two of a linearized file.
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
  auto entries = pdf.getXRefTable();

  // The objects' splices: the packet, and what it moves.
  std::vector<Splice>& splices = plan.splices;
  std::vector<AddedObject> added;
  QPDFObjectHandle metadata = pdf.getRoot().getKey("/Metadata");
  if (document.addsPacket) {
    // A new stream object, numbered past every other, and a catalog that
    // names it: spliced where it is a top-level object, written anew beside
    // the stream where it is in an object stream.
    Require(sections.size() == 1);
    plan.packet = document.addedPacket;
    int64_t number = IntegerValue(sections[0].dictionary, "/Size");
    Require(entries.empty() || entries.rbegin()->first.getObj() < number);
    QPDFObjGen stream(static_cast<int>(number), 0);
    QPDFObjGen catalog = pdf.getRoot().getObjGen();
    auto entry = entries.find(catalog);
    Require(entry != entries.end());
    std::string inserted = MetadataObject(stream, plan.packet);
    const qpdf_offset_t streamLength = static_cast<qpdf_offset_t>(inserted.size());
    std::string reference = " /Metadata " + std::to_string(number) + " 0 R";
    if (entry->second.getType() == 1) {
      Reader reader(in);
      reader.Seek(entry->second.getOffset());
      Require(ReadObjectHeader(reader) == catalog);
      qpdf_offset_t dictAt = reader.Tell();
      Require(!ReadDictionary(reader).Has("/Metadata"));
      reader.Seek(dictAt);
      qpdf_offset_t open = reader.Next().at;
      splices.push_back({open + 2, 0, reference});
    } else {
      Require(sections[0].stream && !pdf.getRoot().hasKey("/Metadata"));
      std::string dict = pdf.getRoot().unparseResolved();
      Require(dict.compare(0, 2, "<<") == 0);
      added.push_back({catalog, 0});
      inserted += std::to_string(catalog.getObj()) + " " + std::to_string(catalog.getGen()) +
                  " obj\n<<" + reference + dict.substr(2) + "\nendobj\n";
    }
    added.insert(added.begin(), {stream, 0});
    splices.push_back({sections[0].at, 0, inserted});
    // The new objects' offsets, once every splice before them is counted.
    qpdf_offset_t at = Moves(splices)(sections[0].at) - static_cast<qpdf_offset_t>(inserted.size());
    added[0].offset = at;
    if (added.size() > 1)
      added[1].offset = at + streamLength;
  } else if (metadata.isStream()) {
    Require(metadata.isIndirect() && !metadata.getDict().hasKey("/Filter"));
    auto entry = entries.find(metadata.getObjGen());
    Require(entry != entries.end() && entry->second.getType() == 1);
    StreamObject old = ReadStreamObject(in, entry->second.getOffset(), pdf);
    Require(old.object == metadata.getObjGen() && !old.dictionary.Has("/Filter"));
    auto data = metadata.getRawStreamData();
    plan.packet.assign(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    splices.push_back({old.dataAt, old.length, plan.packet});
    if (static_cast<int64_t>(plan.packet.size()) != old.length) {
      const std::vector<Token>& length = old.dictionary.Value("/Length");
      Require(length.size() == 1);
      splices.push_back({length[0].at, static_cast<qpdf_offset_t>(length[0].raw.size()),
                         std::to_string(plan.packet.size())});
    }
  }
  std::sort(splices.begin(), splices.end(),
            [](const Splice& a, const Splice& b) { return a.at < b.at; });
  Moves moved(splices);
  bool moves = moved(size) != size;
  // Offsets move: only the single section of a file that is not linearized
  // is written again, and it must follow every object spliced.
  if (moves)
    Require(sections.size() == 1 && !pdf.isLinearized() &&
            sections[0].at >= splices.back().at + splices.back().length);

  std::mt19937 random(std::random_device{}());
  std::map<std::string, std::string> identifiers;  // old raw text -> new
  for (const Section& section : sections) {
    if (const Token* id = SecondIdentifier(section.dictionary)) {
      if (!identifiers.count(id->raw))
        identifiers[id->raw] = NewIdentifier(id->raw, random);
    }
  }
  int64_t newSize = added.empty() ? 0 : added[0].object.getObj() + 1;

  // The sections' splices.
  std::vector<Splice> sectionSplices;
  for (const Section& section : sections) {
    const Token* id = SecondIdentifier(section.dictionary);
    if (moves && section.stream) {
      // Nothing may follow the stream but startxref, as its length changes.
      Require(section.end <= tailAt + static_cast<qpdf_offset_t>(keyword));
      std::string between = ReadAt(*in, section.end, tailAt + keyword - section.end);
      for (char c : between)
        Require(IsWhite(c));
      sectionSplices.push_back(
          {section.at, section.end - section.at,
           MovedXRefStream(pdf, section, moved, added,
                           std::max(newSize, IntegerValue(section.dictionary, "/Size")),
                           id ? identifiers[id->raw] : std::string())});
      continue;
    }
    if (moves) {
      // The table again, as one splice: its moved entries rewritten in
      // place, and an entry for the new object.
      std::string table = ReadAt(*in, section.at, section.trailerAt - section.at);
      Require(static_cast<qpdf_offset_t>(table.size()) == section.trailerAt - section.at);
      for (const auto& [at, offset] : section.entries)
        table.replace(at - section.at, 10, Decimal(moved(offset), 10));
      if (!added.empty())
        table += std::to_string(added[0].object.getObj()) + " 1\n" +
                 Decimal(added[0].offset, 10) + " 00000 n\r\n";
      sectionSplices.push_back({section.at, section.trailerAt - section.at, table});
    }
    if (!added.empty()) {
      const std::vector<Token>& count = section.dictionary.Value("/Size");
      Require(count.size() == 1);
      sectionSplices.push_back(
          {count[0].at, static_cast<qpdf_offset_t>(count[0].raw.size()), std::to_string(newSize)});
    }
    if (id)
      sectionSplices.push_back(
          {id->at, static_cast<qpdf_offset_t>(id->raw.size()), identifiers[id->raw]});
  }
  if (moves)
    sectionSplices.push_back({tailAt + static_cast<qpdf_offset_t>(digits),
                              static_cast<qpdf_offset_t>(digitsEnd - digits),
                              std::to_string(moved(xrefAt))});

  splices.insert(splices.end(), sectionSplices.begin(), sectionSplices.end());
  std::stable_sort(splices.begin(), splices.end(),
                   [](const Splice& a, const Splice& b) { return a.at < b.at; });
  for (size_t i = 1; i < splices.size(); ++i)
    Require(splices[i - 1].at + splices[i - 1].length <= splices[i].at);
}

}  // namespace

bool PlanCopy(PDFLDoc& document, bool linearize, CopyPlan& plan) {
  plan = CopyPlan();
  try {
    Plan(document, linearize, plan);
    return true;
  } catch (const NotCopyable&) {
  } catch (const std::exception&) {
    // QPDF's own errors on what it reads here mean the same.
  }
  plan = CopyPlan();
  return false;
}

bool CopyPlan::KeepsLengths() const {
  return std::all_of(splices.begin(), splices.end(), [](const Splice& splice) {
    return static_cast<qpdf_offset_t>(splice.bytes.size()) == splice.length;
  });
}

void WriteSplices(const CopyPlan& plan, FILE* file) {
  for (const Splice& splice : plan.splices) {
    if (fseeko(file, splice.at, SEEK_SET) != 0 ||
        std::fwrite(splice.bytes.data(), 1, splice.bytes.size(), file) != splice.bytes.size())
      throw std::runtime_error("write failed");
  }
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
