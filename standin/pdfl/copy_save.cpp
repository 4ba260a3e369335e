#include "copy_save.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <stdexcept>

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QUtil.hh>

#include "file_input.h"
#include "os/byte_copy.h"

namespace pdfl {

namespace {

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

// The first number from /Size up that no reference names: a reference to
// an object the file does not define means null, and must still mean it
// once the new object is there (a producer that writes /Size one too small
// leaves its last object so).
int NewObjectNumber(const XRefTable& entries, const Section& section, const ObjectLayout& layout) {
  int64_t number = IntegerValue(section.dictionary, "/Size");
  Require(number > 0 && (entries.empty() || entries.rbegin()->first.getObj() < number));
  while (number < INT32_MAX - 1 && layout.Names(static_cast<int>(number)))
    ++number;
  Require(number < INT32_MAX - 1);
  return static_cast<int>(number);
}

// A first packet: a new stream object numbered as no reference names it,
// inserted just before the section, and a catalog that names it: spliced
// where the catalog is a top-level object, written anew after the stream
// where it is in an object stream (only an xref stream can then list it).
void AddPacket(PDFLDoc& document, const XRefTable& entries, const Section& section,
               const ObjectLayout& layout, ObjectChanges& changes) {
  QPDF& pdf = *document.pdf;
  changes.packet = document.addedPacket;
  changes.addsStream = true;
  int number = NewObjectNumber(entries, section, layout);
  changes.stream = QPDFObjGen(number, 0);
  changes.size = int64_t(number) + 1;
  changes.catalog = pdf.getRoot().getObjGen();
  auto entry = entries.find(changes.catalog);
  Require(entry != entries.end());

  std::string reference = " /Metadata " + std::to_string(number) + " 0 R";
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

// Every type 1 row moved by the objects' splices: an object listed twice, in
// overlapping ranges, has each of its rows moved, since a reader may take
// either.
void MoveRows(XRefRows& rows, const std::vector<Splice>& objectSplices) {
  for (size_t row = 0; row < rows.Count(); ++row) {
    if (rows.Field(row, 0) != 1)
      continue;
    uint64_t offset = rows.Field(row, 1);
    Require(offset <= static_cast<uint64_t>(INT64_MAX));
    rows.SetField(row, 1,
                  static_cast<uint64_t>(Moved(objectSplices, static_cast<qpdf_offset_t>(offset))));
  }
}

// The new entries as type 1 rows: in every row that lists the object
// already, or in a range of their own at the end.
void AddRows(XRefRows& rows, const ObjectChanges& changes) {
  for (const auto& [object, offset] : NewEntries(changes)) {
    std::vector<size_t> listing;
    size_t row = 0;
    for (const auto& [first, count] : rows.ranges) {
      if (object.getObj() >= first && object.getObj() - first < count)
        listing.push_back(row + static_cast<size_t>(object.getObj() - first));
      row += static_cast<size_t>(count);
    }
    if (listing.empty()) {
      listing.push_back(rows.Count());
      rows.data.append(rows.RowSize(), '\0');
      rows.ranges.emplace_back(object.getObj(), 1);
    }
    for (size_t at : listing) {
      rows.SetField(at, 0, 1);
      rows.SetField(at, 1, static_cast<uint64_t>(offset));
      rows.SetField(at, 2, static_cast<uint64_t>(object.getGen()));
    }
  }
}

std::string Deflate(const std::string& data) {
  Pl_Buffer buffer("xref stream");
  Pl_Flate flate("xref stream", &buffer, Pl_Flate::a_deflate);
  flate.write(reinterpret_cast<const unsigned char*>(data.data()), data.size());
  flate.finish();
  auto compressed = buffer.getBufferSharedPointer();
  return std::string(reinterpret_cast<const char*>(compressed->getBuffer()), compressed->getSize());
}

// The stream's dictionary for its new data: compressed without a predictor,
// with the new ranges, /Size and /ID[1].
QPDFObjectHandle MovedDictionary(QPDFObjectHandle dict, size_t length, const XRefRows& rows,
                                 const ObjectChanges& changes, const std::string& identifier) {
  QPDFObjectHandle copy = dict.shallowCopy();
  copy.replaceKey("/Length", QPDFObjectHandle::newInteger(static_cast<long long>(length)));
  copy.replaceKey("/Filter", QPDFObjectHandle::newName("/FlateDecode"));
  copy.removeKey("/DecodeParms");
  if (changes.addsStream)
    copy.replaceKey("/Size", QPDFObjectHandle::newInteger(changes.size));
  std::vector<QPDFObjectHandle> ranges;
  for (const auto& [first, count] : rows.ranges) {
    ranges.push_back(QPDFObjectHandle::newInteger(first));
    ranges.push_back(QPDFObjectHandle::newInteger(count));
  }
  copy.replaceKey("/Index", QPDFObjectHandle::newArray(ranges));
  QPDFObjectHandle id = copy.getKey("/ID");
  if (!identifier.empty() && id.isArray() && id.getArrayNItems() == 2)
    copy.replaceKey("/ID", QPDFObjectHandle::newArray(
                               {id.getArrayItem(0), QPDFObjectHandle::parse(identifier)}));
  return copy;
}

// The cross-reference stream again, its rows moved and the new entries
// added.
std::string MovedXRefStream(QPDF& pdf, const Section& section,
                            const std::vector<Splice>& objectSplices, const ObjectChanges& changes,
                            const std::string& identifier) {
  XRefRows rows = section.rows;
  MoveRows(rows, objectSplices);
  AddRows(rows, changes);
  std::string data = Deflate(rows.data);
  QPDFObjectHandle dict = MovedDictionary(pdf.getObject(section.object).getDict(), data.size(),
                                          rows, changes, identifier);
  return std::to_string(section.object.getObj()) + " " + std::to_string(section.object.getGen()) +
         " obj\n" + dict.unparse() + "\nstream\n" + data + "\nendstream\nendobj";
}

// A table's in-use entries moved in place, and a subsection for the new
// stream, as one splice of everything before "trailer".
Splice MovedTable(InputSource& in, const Section& section, const std::vector<Splice>& objectSplices,
                  const ObjectChanges& changes) {
  std::string table = ReadAt(in, section.at, Bytes(section.trailerAt - section.at));
  Require(LengthOf(table) == section.trailerAt - section.at);
  for (const XRefEntry& entry : section.entries)
    table.replace(Bytes(entry.digitsAt - section.at), 10,
                  Decimal(Moved(objectSplices, entry.offset), 10));
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
  // made once, which the proof takes too.
  plan.entries = pdf.getXRefTable();
  const XRefTable& entries = plan.entries;
  // Where every object lies, for the proof; and, for a new object, which
  // numbers the file's references name.
  plan.layout = ReadObjectLayout(in, pdf, sections, entries, document.addsPacket);
  ObjectChanges changes;
  if (document.addsPacket) {
    Require(sections.size() == 1);
    AddPacket(document, entries, sections[0], plan.layout, changes);
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
  for (Section& section : sections) {
    const Token* id = SecondIdentifier(section.dictionary);
    std::string identifier = id ? identifiers[id->raw] : std::string();
    if (moves && section.stream) {
      ReadStreamRows(pdf, section);
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
