// The plan of a compacting copy: the file's header and each object its
// final cross-reference lists, as their bytes in the source and in file
// order; the packet's stream written anew; then one new section.
#include <algorithm>
#include <climits>
#include <map>
#include <random>

#include "copy/copy_plan.h"
#include "copy/file_end.h"
#include "copy/identifier.h"
#include "copy/lexer.h"
#include "copy/not_copyable.h"
#include "copy/pdf_syntax.h"
#include "copy/stream_data.h"
#include "copy/xref_section.h"
#include "copy/xref_writer.h"

namespace pdfl {

namespace {

// PDF's largest object number.
const int kLargestNumber = 8388607;

// What the plan has read of the source.
struct Source {
  std::vector<Section> sections;  // newest first
  bool streams = false;           // the newest section is or names a stream
  qpdf_offset_t headerEnd = 0;    // the header and the comments after it
};

// A cross-reference stream whose number a reference names reads as that
// object where it is the one the final cross-reference lists; elsewhere
// readers still take it for the object (they keep the stream they read),
// which a copy cannot write.
void RequireSectionsRead(const Source& source, const ObjectLayout& layout,
                         const XRefTable& entries) {
  for (const Section& section : source.sections) {
    if (!section.stream || !layout.Names(section.object.getObj()))
      continue;
    auto entry = entries.find(section.object);
    Require(entry != entries.end() && entry->second.getType() == 1 &&
            entry->second.getOffset() == section.at);
  }
}

Source ReadSource(InputSource& in, QPDF& pdf, const XRefTable& entries) {
  Source source;
  source.sections = ReadChain(in, pdf, ReadFileEnd(in).xrefAt);
  const Section& newest = source.sections.front();
  source.streams = newest.stream || newest.dictionary.Has("/XRefStm");
  int last = -1;
  for (const auto& [object, entry] : entries) {
    // One generation of each number, as a full save writes it.
    Require(object.getObj() != last);
    last = object.getObj();
    source.streams = source.streams || entry.getType() == 2;
  }
  TokenReader reader(in, 0);
  reader.Scan();
  source.headerEnd = reader.start();
  return source;
}

bool IsSection(const Source& source, qpdf_offset_t at) {
  return std::any_of(source.sections.begin(), source.sections.end(),
                     [at](const Section& section) { return section.at == at; });
}

// Old cross-reference streams, and a linearization dictionary, which the
// new section and the new file's size leave stale: left out unless a
// reference names them, when they are objects like any other.
std::vector<QPDFObjGen> Dropped(QPDF& pdf, const Source& source, const ObjectLayout& layout) {
  std::vector<QPDFObjGen> dropped;
  for (size_t i = 0; i < layout.extents.size(); ++i) {
    const Extent& extent = layout.extents[i];
    if (layout.Names(extent.object.getObj()))
      continue;
    if (IsSection(source, extent.at) || (i == 0 && pdf.getObject(extent.object).isDictionary() &&
                                         pdf.getObject(extent.object).hasKey("/Linearized")))
      dropped.push_back(extent.object);
  }
  std::sort(dropped.begin(), dropped.end());
  return dropped;
}

// The first number from `from` up that no object has and no reference
// names, and that PDF allows.
int FreeNumber(const XRefTable& entries, const ObjectLayout& layout, int64_t from) {
  int64_t number =
      std::max<int64_t>(from, entries.empty() ? 1 : entries.rbegin()->first.getObj() + 1);
  while (number <= kLargestNumber && layout.Names(static_cast<int>(number)))
    ++number;
  Require(number <= kLargestNumber);
  return static_cast<int>(number);
}

std::string ObjectText(QPDFObjGen object, const std::string& body) {
  return std::to_string(object.getObj()) + " " + std::to_string(object.getGen()) + " obj\n" + body +
         "\nendobj\n";
}

std::string Reference(QPDFObjGen object) {
  return std::to_string(object.getObj()) + " " + std::to_string(object.getGen()) + " R";
}

// The packet's stream, stored unfiltered: the dictionary's `entries`, a
// direct /Length, and its data encrypted as the file's are.
std::string PacketStream(QPDF& pdf, QPDFObjGen object, const std::string& entries,
                         const std::string& packet) {
  std::string stored = StoredStreamData(pdf, object, packet, true);
  return "<<" + entries + " /Length " + std::to_string(stored.size()) + " >>\nstream\n" + stored +
         "\nendstream";
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
  return {reader.Next().at + 2, 0, " /Metadata " + reference};
}

// What the copy changes and adds among the objects.
struct Changes {
  std::vector<Splice> splices;
  std::vector<std::pair<QPDFObjGen, std::string>> added;  // written after the kept objects
  QPDFObjGen rewrittenCatalog;                            // out of its object stream
  std::map<int, int> newIndex;  // of each member of an object stream written anew
  int64_t size = 0;             // the /Size they need
};

// The splice that writes the object at `at`, which ends at `end`, anew
// after its header, as `body` and its endobj.
Splice NewBody(InputSource& in, qpdf_offset_t at, qpdf_offset_t end, const std::string& body) {
  TokenReader reader(in, at);
  ReadObjectHeader(reader);
  qpdf_offset_t from = reader.Tell();
  return {from, end - from, "\n" + body + "\nendobj"};
}

// A packet of the same object: its stream written anew after its header.
void ChangePacket(PDFLDoc& document, const XRefTable& entries, Changes& changes,
                  std::string& packet) {
  QPDF& pdf = *document.pdf;
  QPDFObjectHandle metadata = pdf.getRoot().getKey("/Metadata");
  Require(metadata.isStream() && metadata.isIndirect());
  auto entry = entries.find(metadata.getObjGen());
  Require(entry != entries.end() && entry->second.getType() == 1);
  StreamObject old = ReadStreamObject(*document.source, entry->second.getOffset(), pdf);
  Require(old.object == metadata.getObjGen());
  // Decoded: a packet stored filtered and left as it was is stored
  // unfiltered too.
  auto data = metadata.getStreamData(qpdf_dl_generalized);
  packet.assign(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
  changes.splices.push_back(NewBody(
      *document.source, entry->second.getOffset(), old.end,
      PacketStream(pdf, old.object,
                   EntriesText(old.dictionary, {"/Length", "/Filter", "/DecodeParms", "/DL"}),
                   packet)));
}

// A first packet: a new stream object numbered as no reference names it,
// and a catalog that names it: spliced where the catalog is a top-level
// object, written anew where it is in an object stream.
void AddPacket(PDFLDoc& document, const XRefTable& entries, const ObjectLayout& layout,
               int64_t size, Changes& changes) {
  QPDF& pdf = *document.pdf;
  QPDFObjGen stream(FreeNumber(entries, layout, size), 0), catalog = pdf.getRoot().getObjGen();
  changes.size = stream.getObj() + int64_t(1);
  changes.added.emplace_back(
      stream, ObjectText(stream, PacketStream(pdf, stream, " /Type /Metadata /Subtype /XML",
                                              document.addedPacket)));
  auto entry = entries.find(catalog);
  Require(entry != entries.end() && !pdf.getRoot().hasKey("/Metadata"));
  if (entry->second.getType() == 1) {
    changes.splices.push_back(
        NameInCatalog(*document.source, entry->second.getOffset(), catalog, Reference(stream)));
    return;
  }
  // Its strings would need encrypting anew.
  Require(!pdf.isEncrypted());
  std::string dictionary = pdf.getRoot().unparseResolved();
  Require(dictionary.compare(0, 2, "<<") == 0);
  changes.added.emplace_back(
      catalog, ObjectText(catalog, "<< /Metadata " + Reference(stream) + dictionary.substr(2)));
  changes.rewrittenCatalog = catalog;
}

// An object stream that also holds objects of earlier revisions, written
// anew after its header with its current members alone, which take new
// indices.
void RewriteStream(PDFLDoc& document, const XRefTable& entries, int number, const Members& members,
                   Changes& changes) {
  QPDF& pdf = *document.pdf;
  auto entry = entries.find(QPDFObjGen(number, 0));
  Require(entry != entries.end() && entry->second.getType() == 1);
  StreamObject old = ReadStreamObject(*document.source, entry->second.getOffset(), pdf);
  std::string header, body;
  for (size_t i = 0; i < members.size(); ++i) {
    changes.newIndex[members[i].first] = static_cast<int>(i);
    header += std::to_string(members[i].first) + " " + std::to_string(body.size()) + " ";
    body += members[i].second + "\n";
  }
  std::string stored = StoredStreamData(pdf, old.object, Deflate(header + body), false);
  changes.splices.push_back(
      NewBody(*document.source, entry->second.getOffset(), old.end,
              "<<" +
                  EntriesText(old.dictionary,
                              {"/N", "/First", "/Length", "/Filter", "/DecodeParms", "/DL"}) +
                  " /N " + std::to_string(members.size()) + " /First " +
                  std::to_string(header.size()) + " /Filter /FlateDecode /Length " +
                  std::to_string(stored.size()) + " >>\nstream\n" + stored + "\nendstream"));
}

// Every byte between the objects kept that is not white space goes, a line
// end in its place: older revisions' objects and sections, comments, what
// no entry lists. A gap of more than a line is not read to see.
void DropGaps(InputSource& in, const Source& source, const ObjectLayout& layout,
              const std::vector<QPDFObjGen>& dropped, std::vector<Splice>& splices,
              qpdf_offset_t& last) {
  last = source.headerEnd;
  for (const Extent& extent : layout.extents) {
    if (std::binary_search(dropped.begin(), dropped.end(), extent.object))
      continue;
    Require(extent.at >= last);
    qpdf_offset_t gap = extent.at - last;
    std::string bytes = gap <= 64 ? ReadAt(in, last, Bytes(gap)) : std::string();
    if (gap > 0 && (gap > 64 || !std::all_of(bytes.begin(), bytes.end(), IsWhite)))
      splices.push_back({last, gap, "\n"});
    last = extent.end;
  }
}

// The trailer's keys as the newest section writes them, less those of a
// section and of older revisions, with /Size and a new /ID[1].
std::string TrailerKeys(const Dictionary& dictionary, int64_t size) {
  std::string keys = " /Size " + std::to_string(size) +
                     EntriesText(dictionary, {"/Prev", "/XRefStm", "/Size", "/Type", "/W", "/Index",
                                              "/Length", "/Filter", "/DecodeParms", "/DL", "/F",
                                              "/FFilter", "/FDecodeParms", "/ID"});
  if (const Token* id = SecondIdentifier(dictionary)) {
    std::mt19937 random(std::random_device{}());
    keys += " /ID [" + dictionary.Value("/ID")[1].raw + " " + NewIdentifier(id->raw, random) + "]";
  }
  return keys;
}

// The rows of every object the copy keeps, at its place in the copy.
std::vector<XRefRow> Rows(const XRefTable& entries, const std::vector<QPDFObjGen>& dropped,
                          const Changes& changes, const OffsetMap& moved) {
  std::vector<XRefRow> rows;
  for (const auto& [object, entry] : entries) {
    if (std::binary_search(dropped.begin(), dropped.end(), object) ||
        object == changes.rewrittenCatalog)
      continue;
    if (entry.getType() == 1)
      rows.push_back({object.getObj(), 1, static_cast<uint64_t>(moved(entry.getOffset())),
                      static_cast<uint64_t>(object.getGen())});
    else if (entry.getType() == 2)
      rows.push_back({object.getObj(), 2, static_cast<uint64_t>(entry.getObjStreamNumber()),
                      static_cast<uint64_t>(changes.newIndex.count(object.getObj())
                                                ? changes.newIndex.at(object.getObj())
                                                : entry.getObjStreamIndex())});
  }
  return rows;
}

// After the last object kept: the added objects, the new section and the
// file's end, at `at` in the copy.
std::string Tail(const XRefTable& entries, const Source& source, const ObjectLayout& layout,
                 Changes& changes, std::vector<XRefRow> rows, qpdf_offset_t at,
                 std::vector<QPDFObjGen>& added) {
  std::string tail = "\n";
  for (const auto& [object, text] : changes.added) {
    rows.push_back({object.getObj(), 1, static_cast<uint64_t>(at + LengthOf(tail)),
                    static_cast<uint64_t>(object.getGen())});
    tail += text;
    added.push_back(object);
  }
  std::sort(rows.begin(), rows.end(),
            [](const XRefRow& a, const XRefRow& b) { return a.number < b.number; });
  const Dictionary& trailer = source.sections.front().dictionary;
  qpdf_offset_t sectionAt = at + LengthOf(tail);
  // /Size is one more than the largest number listed, as readers check.
  int64_t size = rows.empty() ? 1 : rows.back().number + int64_t(1);
  if (source.streams) {
    QPDFObjGen stream(
        FreeNumber(entries, layout, std::max(IntegerValue(trailer, "/Size"), changes.size)), 0);
    added.push_back(stream);
    tail += NewXRefStream(stream, sectionAt, rows,
                          TrailerKeys(trailer, std::max(size, stream.getObj() + int64_t(1))));
  } else {
    tail += NewTable(rows, TrailerKeys(trailer, size));
  }
  return tail + "startxref\n" + std::to_string(sectionAt) + "\n%%EOF\n";
}

}  // namespace

void PlanCompaction(PDFLDoc& document, CopyPlan& plan) {
  QPDF& pdf = *document.pdf;
  InputSource& in = *document.source;
  plan.entries = pdf.getXRefTable();
  Source source = ReadSource(in, pdf, plan.entries);
  LayoutRequest request;
  for (const auto& [object, entry] : plan.entries) {
    if (entry.getType() == 1)
      request.starts.push_back(entry.getOffset());
  }
  request.references = true;
  plan.layout = ReadObjectLayout(in, pdf, request, plan.entries);
  AddReferences(plan.layout, source.sections.front().dictionary);
  RequireSectionsRead(source, plan.layout, plan.entries);
  plan.dropped = Dropped(pdf, source, plan.layout);
  Changes changes;
  if (document.addsPacket)
    AddPacket(document, plan.entries, plan.layout,
              IntegerValue(source.sections.front().dictionary, "/Size"), changes);
  else
    ChangePacket(document, plan.entries, changes, plan.packet);
  if (document.addsPacket)
    plan.packet = document.addedPacket;
  for (const auto& [number, members] : plan.layout.staleStreams) {
    RewriteStream(document, plan.entries, number, members, changes);
    plan.rewritten.push_back(number);
  }
  qpdf_offset_t last = 0;
  DropGaps(in, source, plan.layout, plan.dropped, changes.splices, last);
  SortSplices(changes.splices);
  OffsetMap moved(changes.splices);
  std::vector<XRefRow> rows = Rows(plan.entries, plan.dropped, changes, moved);
  std::string tail =
      Tail(plan.entries, source, plan.layout, changes, std::move(rows), moved(last), plan.added);
  in.seek(0, SEEK_END);
  changes.splices.push_back({last, in.tell() - last, tail});
  plan.splices = std::move(changes.splices);
  SortSplices(plan.splices);
}

}  // namespace pdfl
