// The plan of a copy in which nothing moves: the packet keeps its stored
// length, and the one revision (or the two sections of a linearized file)
// stays as it is but for each /ID[1].
#include <algorithm>
#include <map>
#include <random>

#include "copy/copy_plan.h"
#include "copy/file_end.h"
#include "copy/identifier.h"
#include "copy/not_copyable.h"
#include "copy/stream_data.h"
#include "copy/xref_section.h"

namespace pdfl {

namespace {

// Whether the one stream of a revision lists no object twice: then QPDF's
// reading of it says where each object it lists lies, and its rows need
// not be decoded again.
bool ListsEachObjectOnce(QPDF& pdf, const std::vector<Section>& sections) {
  if (sections.size() != 1 || !sections[0].stream)
    return false;
  XRefRanges ranges = IndexRanges(pdf.getObject(sections[0].object).getDict());
  std::sort(ranges.begin(), ranges.end());
  for (size_t i = 1; i < ranges.size(); ++i) {
    if (ranges[i - 1].first + ranges[i - 1].second > ranges[i].first)
      return false;
  }
  return true;
}

// Every offset the sections list: a reader may take any row of an object
// listed twice, so each must hold an object of its own.
std::vector<qpdf_offset_t> ListedOffsets(QPDF& pdf, std::vector<Section>& sections,
                                         const XRefTable& entries) {
  std::vector<qpdf_offset_t> starts;
  if (ListsEachObjectOnce(pdf, sections)) {
    for (const auto& [object, entry] : entries) {
      if (entry.getType() == 1)
        starts.push_back(entry.getOffset());
    }
    return starts;
  }
  for (Section& section : sections) {
    ReadStreamRows(pdf, section);
    for (const XRefEntry& entry : section.entries)
      starts.push_back(entry.offset);
  }
  return starts;
}

// The packet's data in place of the old, stored as the old was and at its
// length.
Splice NewPacketData(PDFLDoc& document, const XRefTable& entries, std::string& packet) {
  QPDF& pdf = *document.pdf;
  Require(!document.addsPacket);
  QPDFObjectHandle metadata = pdf.getRoot().getKey("/Metadata");
  Require(metadata.isStream() && metadata.isIndirect() && !metadata.getDict().hasKey("/Filter"));
  auto entry = entries.find(metadata.getObjGen());
  Require(entry != entries.end() && entry->second.getType() == 1);
  StreamObject old = ReadStreamObject(*document.source, entry->second.getOffset(), pdf);
  Require(old.object == metadata.getObjGen() && !old.dictionary.Has("/Filter"));
  auto data = metadata.getRawStreamData();
  packet.assign(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
  std::string stored = StoredStreamData(pdf, old.object, packet, true);
  Require(LengthOf(stored) == old.length);
  return {old.dataAt, old.length, stored};
}

// A cross-reference stream whose number the final cross-reference gives to
// another object reads as that stream wherever a reference names it (readers
// keep the stream they read): a new /ID in its dictionary would change it.
void RequireStreamsListedAsThemselves(const std::vector<Section>& sections,
                                      const XRefTable& entries) {
  for (const Section& section : sections) {
    if (!section.stream)
      continue;
    auto entry = entries.find(section.object);
    Require(entry == entries.end() ||
            (entry->second.getType() == 1 && entry->second.getOffset() == section.at));
  }
}

}  // namespace

void PlanInPlace(PDFLDoc& document, CopyPlan& plan) {
  QPDF& pdf = *document.pdf;
  InputSource& in = *document.source;
  plan.entries = pdf.getXRefTable();
  plan.splices.push_back(NewPacketData(document, plan.entries, plan.packet));
  FileEnd end = ReadFileEnd(in);
  std::vector<Section> sections = ReadRevision(in, pdf, end.xrefAt);
  RequireStreamsListedAsThemselves(sections, plan.entries);
  LayoutRequest request;
  request.starts = ListedOffsets(pdf, sections, plan.entries);
  plan.layout = ReadObjectLayout(in, pdf, request, plan.entries);
  std::mt19937 random(std::random_device{}());
  std::map<std::string, std::string> identifiers;
  for (const Section& section : sections) {
    AddSection(plan.layout, {section.at, section.end, section.object}, section.dictionary);
    // Each old /ID[1] gets one new value, the same in every trailer.
    if (const Token* id = SecondIdentifier(section.dictionary)) {
      if (!identifiers.count(id->raw))
        identifiers[id->raw] = NewIdentifier(id->raw, random);
      plan.splices.push_back({id->at, LengthOf(id->raw), identifiers[id->raw]});
    }
  }
  SortSplices(plan.splices);
}

}  // namespace pdfl
