#include "copy/object_layout.h"

#include <algorithm>
#include <climits>
#include <string>

#include "copy/not_copyable.h"
#include "copy/references.h"

namespace pdfl {

bool ObjectLayout::Names(int number) const {
  return std::binary_search(references.begin(), references.end(), number);
}

namespace {

void SortUnique(std::vector<int>& numbers) {
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
}

void AddObjectStreamReferences(QPDF& pdf, int number, int from, std::vector<int>& references) {
  QPDFObjectHandle stream = pdf.getObject(number, 0);
  Require(stream.isStream());
  auto data = stream.getStreamData(qpdf_dl_generalized);
  std::string bytes(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
  bytes += '\n';
  ReadReferences(bytes, from, references);
}

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

using Listed = std::vector<std::pair<qpdf_offset_t, QPDFObjGen>>;

// Where the sections list objects at an offset, sorted, each once.
std::vector<qpdf_offset_t> ObjectStarts(QPDF& pdf, std::vector<Section>& sections,
                                        const Listed& listed) {
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
  return starts;
}

// Each object QPDF takes from an offset has its own header there.
void RequireHeaders(const std::vector<Extent>& extents, const Listed& listed) {
  auto extent = extents.begin();
  for (const auto& [at, object] : listed) {
    while (extent != extents.end() && extent->at < at)
      ++extent;
    Require(extent != extents.end() && extent->at == at && extent->object == object);
  }
}

// Only numbers that no object has yet matter: a new object takes one. They
// are those from the smallest /Size up, found in object streams too.
void KeepNewNumbers(QPDF& pdf, const std::vector<Section>& sections, std::vector<int> objectStreams,
                    std::vector<int>& references) {
  int64_t size = INT32_MAX;
  for (const Section& section : sections)
    size = std::min(size, IntegerValue(section.dictionary, "/Size"));
  int from = ObjectNumber(size);
  references.erase(std::remove_if(references.begin(), references.end(),
                                  [from](int number) { return number < from; }),
                   references.end());
  SortUnique(objectStreams);
  for (int number : objectStreams)
    AddObjectStreamReferences(pdf, number, from, references);
  SortUnique(references);
}

}  // namespace

ObjectLayout ReadObjectLayout(InputSource& in, QPDF& pdf, std::vector<Section>& sections,
                              const XRefTable& entries, bool references) {
  // What QPDF takes from an offset, in file order, and the object streams.
  Listed listed;
  std::vector<int> objectStreams;
  for (const auto& [object, entry] : entries) {
    if (entry.getType() == 1)
      listed.emplace_back(entry.getOffset(), object);
    else if (entry.getType() == 2 && references)
      objectStreams.push_back(entry.getObjStreamNumber());
  }
  std::sort(listed.begin(), listed.end());
  std::vector<qpdf_offset_t> starts = ObjectStarts(pdf, sections, listed);

  ObjectLayout layout;
  layout.referencesRead = references;
  std::vector<int>* found = references ? &layout.references : nullptr;
  for (qpdf_offset_t at : starts)
    layout.extents.push_back(ReadExtent(in, at, pdf, found));
  RequireHeaders(layout.extents, listed);
  for (const Section& section : sections) {
    layout.sections.push_back(section.at);
    if (!section.stream)
      layout.extents.push_back({section.at, section.end, QPDFObjGen()});
    else if (!std::binary_search(starts.begin(), starts.end(), section.at))
      layout.extents.push_back({section.at, section.end, section.object});
    if (references) {
      for (const auto& [key, value] : section.dictionary.values)
        AddReferences(value, &layout.references);
    }
  }
  std::sort(layout.extents.begin(), layout.extents.end(),
            [](const Extent& a, const Extent& b) { return a.at < b.at; });
  std::sort(layout.sections.begin(), layout.sections.end());
  if (references)
    KeepNewNumbers(pdf, sections, std::move(objectStreams), layout.references);
  return layout;
}

}  // namespace pdfl
