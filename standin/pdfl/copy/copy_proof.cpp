#include "copy/copy_proof.h"

#include <algorithm>
#include <initializer_list>
#include <map>
#include <set>
#include <vector>

#include "copy/lexer.h"
#include "copy/pdf_syntax.h"

namespace pdfl {

namespace {

// Whether "n g obj" of this object starts exactly at `at`, as tokens of
// their own: not glued to what comes before the number.
bool HeaderAt(InputSource& in, qpdf_offset_t at, QPDFObjGen object) {
  if (at < 0)
    return false;
  if (at > 0) {
    std::string before = ReadAt(in, at - 1, 1);
    if (before.empty() || IsRegular(before[0]))
      return false;
  }
  TokenReader reader(in, at);
  int64_t number = -1, generation = -1;
  TokenView token = reader.Scan();
  if (reader.start() != at || token.kind != Kind::kInteger || !ToInteger(token.text, number))
    return false;
  token = reader.Scan();
  if (token.kind != Kind::kInteger || !ToInteger(token.text, generation))
    return false;
  return reader.Scan().IsWord("obj") && number == object.getObj() && generation == object.getGen();
}

// Every object of the source resolves in the copy to the same place: the
// same object stream and index, or a header of its own. Objects new to the
// copy are allowed only as `added`, and a catalog may leave its object
// stream for a header of its own. Both tables are in object order, so one
// walk compares them. An object at the offset it had is at the header the
// source has there (the plan's reading of the source found each one, and
// no change reaches into an object it may not change); every other one's
// header is read in the copy.
bool SameObjects(const XRefTable& before, QPDF& copy, InputSource& copyBytes, QPDFObjGen catalog,
                 const std::set<QPDFObjGen>& added) {
  const XRefTable after = copy.getXRefTable();
  if (after.size() != before.size() + added.size())
    return false;
  std::vector<std::pair<qpdf_offset_t, QPDFObjGen>> headers;
  auto old = before.begin();
  for (const auto& [object, entry] : after) {
    int type = entry.getType();
    if (old == before.end() || object < old->first) {
      if (!added.count(object) || type != 1)
        return false;
      headers.emplace_back(entry.getOffset(), object);
      continue;
    }
    if (old->first < object)
      return false;  // an object of the source that the copy lacks
    const QPDFXRefEntry& was = old++->second;
    int wasType = was.getType();
    if (wasType == 2 && type == 2) {
      if (entry.getObjStreamNumber() != was.getObjStreamNumber() ||
          entry.getObjStreamIndex() != was.getObjStreamIndex())
        return false;
    } else if (type == 1 && (wasType == 1 || (wasType == 2 && object == catalog))) {
      if (wasType == 2 || was.getOffset() != entry.getOffset())
        headers.emplace_back(entry.getOffset(), object);
    } else if (wasType != type) {
      return false;
    }
  }
  // In file order, so that the block cache reads the copy once.
  std::sort(headers.begin(), headers.end());
  return std::all_of(headers.begin(), headers.end(), [&](const auto& header) {
    return HeaderAt(copyBytes, header.first, header.second);
  });
}

// A dictionary's entries as written, but those named: taken as they are,
// so that no value is read to see whether it is null (QPDF's own list of
// keys reads every object the dictionary names).
std::map<std::string, std::string> Entries(QPDFObjectHandle dictionary,
                                           std::initializer_list<const char*> except) {
  std::map<std::string, std::string> entries;
  for (auto& [key, value] : dictionary.getDictAsMap())
    entries.emplace(key, value.unparse());
  for (const char* key : except)
    entries.erase(key);
  return entries;
}

// The same entries, but for /ID[1], which is new at the same length,
// /Size, which a new object raises, and a cross-reference stream's own
// encoding, which a moved stream writes anew.
bool SameTrailer(QPDF& source, QPDF& copy) {
  QPDFObjectHandle before = source.getTrailer(), after = copy.getTrailer();
  std::initializer_list<const char*> renewed = {"/ID",          "/Size",  "/Length", "/Filter",
                                                "/DecodeParms", "/Index", "/W"};
  if (Entries(before, renewed) != Entries(after, renewed))
    return false;
  if (before.hasKey("/Size") != after.hasKey("/Size") ||
      (before.getKey("/Size").isInteger() &&
       !(after.getKey("/Size").isInteger() &&
         after.getKey("/Size").getIntValue() >= before.getKey("/Size").getIntValue())))
    return false;
  QPDFObjectHandle id = before.getKey("/ID"), newId = after.getKey("/ID");
  if (!id.isArray())
    return id.unparse() == newId.unparse();
  return newId.isArray() && id.getArrayNItems() == 2 && newId.getArrayNItems() == 2 &&
         id.getArrayItem(0).unparse() == newId.getArrayItem(0).unparse() &&
         id.getArrayItem(1).isString() && newId.getArrayItem(1).isString() &&
         id.getArrayItem(1).getStringValue().size() ==
             newId.getArrayItem(1).getStringValue().size();
}

// The catalog keeps every entry but /Metadata, which names a stream holding
// the packet.
bool SameCatalog(QPDF& source, QPDF& copy, const std::string& packet) {
  QPDFObjectHandle before = source.getRoot(), after = copy.getRoot();
  if (!after.isDictionary() || before.getObjGen() != after.getObjGen() ||
      Entries(before, {"/Metadata"}) != Entries(after, {"/Metadata"}))
    return false;
  if (packet.empty())
    return before.getKey("/Metadata").unparse() == after.getKey("/Metadata").unparse();
  QPDFObjectHandle metadata = after.getKey("/Metadata");
  if (!metadata.isStream() || !metadata.isIndirect())
    return false;
  auto data = metadata.getRawStreamData();
  return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize()) == packet;
}

// No object of the source lies in another one's bytes: each extent, the
// sections' among them, ends before the next one starts.
bool SeparateExtents(const std::vector<Extent>& extents) {
  for (size_t i = 1; i < extents.size(); ++i) {
    if (extents[i - 1].end > extents[i].at)
      return false;
  }
  return true;
}

// Whether the copy may change bytes of this object: the packet's stream,
// the catalog, and a cross-reference section with its trailer.
bool MayChange(QPDF& source, const ObjectLayout& layout, const Extent& extent) {
  QPDFObjectHandle metadata = source.getRoot().getKey("/Metadata");
  return std::binary_search(layout.sections.begin(), layout.sections.end(), extent.at) ||
         extent.object == source.getRoot().getObjGen() ||
         (metadata.isIndirect() && extent.object == metadata.getObjGen());
}

// Every byte the copy replaces, and every place it inserts bytes, lies
// outside every object or inside one that it may change, wholly.
bool ChangesStayInTheirObjects(QPDF& source, const CopyPlan& plan) {
  const std::vector<Extent>& extents = plan.layout.extents;
  for (const Splice& splice : plan.splices) {
    qpdf_offset_t from = splice.at, to = splice.at + splice.length;
    // The first object that ends after the splice starts: the only one it
    // can reach into, since the objects are separate.
    auto extent = std::upper_bound(extents.begin(), extents.end(), from,
                                   [](qpdf_offset_t at, const Extent& e) { return at < e.end; });
    if (extent == extents.end())
      continue;
    bool reaches = splice.length > 0 ? extent->at < to : extent->at < from;
    if (reaches &&
        !(MayChange(source, plan.layout, *extent) && extent->at <= from && to <= extent->end))
      return false;
  }
  return true;
}

}  // namespace

bool ProveCopy(QPDF& source, QPDF& copy, InputSource& copyBytes, const CopyPlan& plan) {
  if (!SeparateExtents(plan.layout.extents) || !ChangesStayInTheirObjects(source, plan))
    return false;
  if (!SameCatalog(source, copy, plan.packet) || !SameTrailer(source, copy))
    return false;
  std::set<QPDFObjGen> added;
  QPDFObjectHandle metadata = copy.getRoot().getKey("/Metadata");
  if (!source.getRoot().getKey("/Metadata").isStream() && metadata.isIndirect()) {
    // A reference to an undefined object means null: none may name the new
    // one.
    if (!plan.layout.referencesRead || plan.layout.Names(metadata.getObjectID()))
      return false;
    added.insert(metadata.getObjGen());
  }
  return SameObjects(plan.entries, copy, copyBytes, source.getRoot().getObjGen(), added);
}

}  // namespace pdfl
