#include "copy/object_layout.h"

#include <algorithm>

#include "copy/not_copyable.h"
#include "copy/references.h"

namespace pdfl {

bool ObjectLayout::Names(int number) const {
  return std::binary_search(references.begin(), references.end(), number);
}

namespace {

template <typename T>
void SortUnique(std::vector<T>& values) {
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
}

using Listed = std::vector<std::pair<qpdf_offset_t, QPDFObjGen>>;

// Each object QPDF takes from an offset has its own header there.
void RequireHeaders(const std::vector<Extent>& extents, const Listed& listed) {
  auto extent = extents.begin();
  for (const auto& [at, object] : listed) {
    while (extent != extents.end() && extent->at < at)
      ++extent;
    Require(extent != extents.end() && extent->at == at && extent->object == object);
  }
}

}  // namespace

ObjectLayout ReadObjectLayout(InputSource& in, QPDF& pdf, LayoutRequest request,
                              const XRefTable& entries) {
  // What QPDF takes from an offset, in file order, and the object streams.
  Listed listed;
  std::vector<int> objectStreams;
  for (const auto& [object, entry] : entries) {
    if (entry.getType() == 1)
      listed.emplace_back(entry.getOffset(), object);
    else if (entry.getType() == 2 && request.references)
      objectStreams.push_back(entry.getObjStreamNumber());
  }
  std::sort(listed.begin(), listed.end());
  SortUnique(request.starts);

  ObjectLayout layout;
  layout.referencesRead = request.references;
  std::vector<int>* found = request.references ? &layout.references : nullptr;
  for (qpdf_offset_t at : request.starts)
    layout.extents.push_back(ReadExtent(in, at, pdf, found));
  RequireHeaders(layout.extents, listed);
  SortUnique(objectStreams);
  if (request.references) {
    Members current;
    for (int number : objectStreams) {
      if (!ReadObjectStream(pdf, number, entries, layout.references, current))
        layout.staleStreams[number] = std::move(current);
    }
  }
  SortUnique(layout.references);
  return layout;
}

void AddSection(ObjectLayout& layout, const Extent& extent, const Dictionary& dictionary) {
  layout.sections.push_back(extent.at);
  std::sort(layout.sections.begin(), layout.sections.end());
  auto place = std::lower_bound(layout.extents.begin(), layout.extents.end(), extent.at,
                                [](const Extent& e, qpdf_offset_t at) { return e.at < at; });
  if (place == layout.extents.end() || place->at != extent.at)
    layout.extents.insert(place, extent);
  AddReferences(layout, dictionary);
}

void AddReferences(ObjectLayout& layout, const Dictionary& dictionary) {
  if (!layout.referencesRead)
    return;
  for (const auto& [key, value] : dictionary.values)
    AddReferences(value, &layout.references);
  SortUnique(layout.references);
}

}  // namespace pdfl
