#include "copy/copy_plan.h"

#include <algorithm>
#include <climits>
#include <map>
#include <random>
#include <stdexcept>

#include "copy/file_end.h"
#include "copy/identifier.h"
#include "copy/lexer.h"
#include "copy/not_copyable.h"
#include "copy/pdf_syntax.h"
#include "copy/xref_writer.h"

namespace pdfl {

namespace {

// What the copy changes among the objects, before any cross-reference.
struct ObjectChanges {
  std::vector<Splice> splices;  // in file order
  std::string packet;
  // Objects the copy adds, at their places in the copy: a first packet's
  // new stream, and a catalog rewritten out of its object stream, inserted
  // just before the section.
  AddedObjects added;
};

// A packet of the same object: the stream's data, and its direct /Length
// when that changes.
void ChangePacket(PDFLDoc& document, const XRefTable& entries, ObjectChanges& changes) {
  QPDF& pdf = *document.pdf;
  QPDFObjectHandle metadata = pdf.getRoot().getKey("/Metadata");
  Require(metadata.isIndirect() && !metadata.getDict().hasKey("/Filter"));
  auto entry = entries.find(metadata.getObjGen());
  Require(entry != entries.end() && entry->second.getType() == 1);
  StreamObject old = ReadStreamObject(*document.source, entry->second.getOffset(), pdf);
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

// The splice that names the new packet in a catalog that is a top-level
// object: just after its "<<".
Splice NameInCatalog(InputSource& in, qpdf_offset_t at, QPDFObjGen catalog,
                     const std::string& reference) {
  TokenReader reader(in, at);
  Require(ReadObjectHeader(reader) == catalog);
  qpdf_offset_t open = reader.Tell();
  Require(!ReadDictionary(reader).Has("/Metadata"));
  reader.Seek(open);
  return {reader.Next().at + 2, 0, reference};
}

// A first packet: a new stream object numbered as no reference names it,
// inserted just before the section, and a catalog that names it: spliced
// where the catalog is a top-level object, written anew after the stream
// where it is in an object stream (only an xref stream can then list it).
void AddPacket(PDFLDoc& document, const XRefTable& entries, const Section& section,
               const ObjectLayout& layout, ObjectChanges& changes) {
  QPDF& pdf = *document.pdf;
  changes.packet = document.addedPacket;
  int number = NewObjectNumber(entries, section, layout);
  QPDFObjGen stream(number, 0), catalog = pdf.getRoot().getObjGen();
  changes.added.size = int64_t(number) + 1;
  auto entry = entries.find(catalog);
  Require(entry != entries.end());

  std::string reference = " /Metadata " + std::to_string(number) + " 0 R";
  std::string inserted = MetadataObject(stream, changes.packet);
  qpdf_offset_t catalogOffset = LengthOf(inserted);
  bool rewritesCatalog = entry->second.getType() != 1;
  if (!rewritesCatalog) {
    changes.splices.push_back(
        NameInCatalog(*document.source, entry->second.getOffset(), catalog, reference));
  } else {
    Require(section.stream && !pdf.getRoot().hasKey("/Metadata"));
    std::string dict = pdf.getRoot().unparseResolved();
    Require(dict.compare(0, 2, "<<") == 0);
    inserted += std::to_string(catalog.getObj()) + " " + std::to_string(catalog.getGen()) +
                " obj\n<<" + reference + dict.substr(2) + "\nendobj\n";
  }
  changes.splices.push_back({section.at, 0, inserted});
  // The inserted objects start where the section would land without them.
  qpdf_offset_t streamAt = Moved(changes.splices, section.at) - LengthOf(inserted);
  changes.added.objects.emplace_back(stream, streamAt);
  if (rewritesCatalog)
    changes.added.objects.emplace_back(catalog, streamAt + catalogOffset);
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

// When objects move, the one section is written anew and so must come after
// every object, with only white space between it and startxref: an object
// after it would move by what the section gains, which no entry counts. A
// linearized file's offsets are fixed by its hint tables.
void RequireMovable(QPDF& pdf, InputSource& in, const std::vector<Section>& sections,
                    const FileEnd& end, const std::vector<Splice>& splices,
                    const XRefTable& entries) {
  const Section& section = sections[0];
  Require(sections.size() == 1 && !pdf.isLinearized() && !splices.empty() &&
          section.at >= splices.back().at + splices.back().length);
  for (const auto& [object, entry] : entries)
    Require(entry.getType() != 1 || entry.getOffset() < section.at ||
            (section.stream && object == section.object));
  RequireWhiteBetween(in, section.end, end.keywordAt);
}

// Each old /ID[1] gets one new value, the same in every trailer.
std::map<std::string, std::string> NewIdentifiers(const std::vector<Section>& sections) {
  std::mt19937 random(std::random_device{}());
  std::map<std::string, std::string> identifiers;
  for (const Section& section : sections) {
    const Token* id = SecondIdentifier(section.dictionary);
    if (id && !identifiers.count(id->raw))
      identifiers[id->raw] = NewIdentifier(id->raw, random);
  }
  return identifiers;
}

// The splices of the sections, added to the objects': each /ID[1] renewed,
// and when objects move, every section's offsets, /Size and startxref.
std::vector<Splice> SectionSplices(QPDF& pdf, InputSource& in, std::vector<Section>& sections,
                                   const FileEnd& end, const ObjectChanges& changes, bool moves) {
  std::map<std::string, std::string> identifiers = NewIdentifiers(sections);
  std::vector<Splice> splices = changes.splices;
  for (Section& section : sections) {
    const Token* id = SecondIdentifier(section.dictionary);
    std::string identifier = id ? identifiers[id->raw] : std::string();
    if (moves && section.stream) {
      ReadStreamRows(pdf, section);
      splices.push_back(
          {section.at, section.end - section.at,
           MovedXRefStream(pdf, section, changes.splices, changes.added, identifier)});
      continue;
    }
    if (moves)
      splices.push_back(MovedTable(in, section, changes.splices, changes.added));
    if (changes.added.size > 0) {
      const std::vector<Token>& size = section.dictionary.Value("/Size");
      Require(size.size() == 1);
      splices.push_back({size[0].at, LengthOf(size[0].raw), std::to_string(changes.added.size)});
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
  return splices;
}

void Plan(PDFLDoc& document, bool linearize, CopyPlan& plan) {
  QPDF& pdf = *document.pdf;
  Require(document.source && !document.changedBeyondMetadata && !pdf.anyWarnings() &&
          !pdf.isEncrypted() && linearize == pdf.isLinearized());
  InputSource& in = *document.source;
  FileEnd end = ReadFileEnd(in);
  std::vector<Section> sections = ReadRevision(in, pdf, end.xrefAt);
  // The source's cross-reference as QPDF resolves it: a copy of QPDF's map,
  // made once, which the proof takes too.
  plan.entries = pdf.getXRefTable();
  // Where every object lies, for the proof; and, for a new object, which
  // numbers the file's references name.
  plan.layout = ReadObjectLayout(in, pdf, sections, plan.entries, document.addsPacket);
  ObjectChanges changes;
  if (document.addsPacket) {
    Require(sections.size() == 1);
    AddPacket(document, plan.entries, sections[0], plan.layout, changes);
  } else if (pdf.getRoot().getKey("/Metadata").isStream()) {
    ChangePacket(document, plan.entries, changes);
  }
  plan.packet = changes.packet;
  std::sort(changes.splices.begin(), changes.splices.end(),
            [](const Splice& a, const Splice& b) { return a.at < b.at; });
  bool moves = !KeepLengths(changes.splices);
  if (moves)
    RequireMovable(pdf, in, sections, end, changes.splices, plan.entries);
  plan.splices = SectionSplices(pdf, in, sections, end, changes, moves);
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

}  // namespace pdfl
