#include "copy/copy_proof.h"

#include <algorithm>
#include <initializer_list>
#include <map>
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

bool Has(const std::vector<QPDFObjGen>& objects, QPDFObjGen object) {
  return std::find(objects.begin(), objects.end(), object) != objects.end();
}

bool InRewrittenStream(const CopyPlan& plan, const QPDFXRefEntry& entry) {
  return entry.getType() == 2 && std::find(plan.rewritten.begin(), plan.rewritten.end(),
                                           entry.getObjStreamNumber()) != plan.rewritten.end();
}

// Whether an object new to the copy, or one it leaves out, may be: no
// reference may name it, or what reads as null, or as the object, would
// read otherwise.
bool Unnamed(const ObjectLayout& layout, QPDFObjGen object) {
  return layout.referencesRead && !layout.Names(object.getObj());
}

// Whether the copy lists a source's object where it must be: in the same
// object stream at the same index, or at its header where the plan's
// splices put its bytes. A catalog may leave its object stream for a
// header of its own.
bool SamePlace(const QPDFXRefEntry& was, const QPDFXRefEntry& entry, bool catalog,
               const OffsetMap& moved, std::vector<std::pair<qpdf_offset_t, QPDFObjGen>>& headers,
               QPDFObjGen object) {
  int wasType = was.getType(), type = entry.getType();
  if (wasType == 2 && type == 2)
    return entry.getObjStreamNumber() == was.getObjStreamNumber() &&
           entry.getObjStreamIndex() == was.getObjStreamIndex();
  if (type != 1 || (wasType != 1 && !(wasType == 2 && catalog)))
    return wasType == type && type != 1 && type != 2;
  if (wasType == 1 && moved(was.getOffset()) != entry.getOffset())
    return false;
  if (wasType == 2 || was.getOffset() != entry.getOffset())
    headers.emplace_back(entry.getOffset(), object);
  return true;
}

// Every object of the source resolves in the copy to the same place, but
// those the plan leaves out; objects new to the copy are those it adds.
// Both tables are in object order, so one walk compares them. An object at
// the offset it had is at the header the source has there (the plan's
// reading of the source found each one, and no change reaches into an
// object it may not change); every other one's header is read in the copy.
bool SameObjects(const CopyPlan& plan, QPDF& source, QPDF& copy, const XRefTable& after,
                 InputSource& copyBytes) {
  QPDFObjGen catalog = source.getRoot().getObjGen();
  std::vector<QPDFObjGen> rewritten;
  const XRefTable& before = plan.entries;
  OffsetMap moved(plan.splices);
  std::vector<std::pair<qpdf_offset_t, QPDFObjGen>> headers;
  auto old = before.begin();
  for (auto entry = after.begin(); entry != after.end() || old != before.end();) {
    if (old != before.end() && (entry == after.end() || old->first < entry->first)) {
      // An object of the source that the copy lacks.
      if (!Has(plan.dropped, old->first) || !Unnamed(plan.layout, old->first))
        return false;
      ++old;
    } else if (old == before.end() || entry->first < old->first) {
      if (!Has(plan.added, entry->first) || entry->second.getType() != 1 ||
          !Unnamed(plan.layout, entry->first))
        return false;
      headers.emplace_back(entry->second.getOffset(), entry->first);
      ++entry;
    } else if (InRewrittenStream(plan, old->second)) {
      // Its stream written anew: it must read as it did, in the same stream.
      if (entry->second.getType() != 2 ||
          entry->second.getObjStreamNumber() != old->second.getObjStreamNumber())
        return false;
      rewritten.push_back(old->first);
      ++old;
      ++entry;
    } else {
      if (Has(plan.dropped, old->first) ||
          !SamePlace(old->second, entry->second, old->first == catalog, moved, headers, old->first))
        return false;
      ++old;
      ++entry;
    }
  }
  // In file order, so that the block cache reads the copy once.
  std::sort(headers.begin(), headers.end());
  return std::all_of(headers.begin(), headers.end(),
                     [&](const auto& header) {
                       return HeaderAt(copyBytes, header.first, header.second);
                     }) &&
         std::all_of(rewritten.begin(), rewritten.end(), [&](QPDFObjGen object) {
           return source.getObject(object).unparse() == copy.getObject(object).unparse();
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

// The same entries, but for /ID[1], which is new at the same length, /Size,
// which counts the copy's objects, and the keys of a cross-reference
// section, which a compacting copy writes anew.
bool SameTrailer(QPDF& source, QPDF& copy, const XRefTable& entries) {
  QPDFObjectHandle before = source.getTrailer(), after = copy.getTrailer();
  std::initializer_list<const char*> renewed = {"/ID",          "/Size",  "/Length", "/Filter",
                                                "/DecodeParms", "/Index", "/W",      "/Prev",
                                                "/XRefStm",     "/Type",  "/DL"};
  if (Entries(before, renewed) != Entries(after, renewed))
    return false;
  // /Size is the copy's own: one more than the largest number it lists.
  if (before.hasKey("/Size") != after.hasKey("/Size") ||
      (after.hasKey("/Size") &&
       !(after.getKey("/Size").isInteger() && !entries.empty() &&
         after.getKey("/Size").getIntValue() >= entries.rbegin()->first.getObj() + 1)))
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
// the catalog, a cross-reference section kept in place with its trailer,
// and an object it leaves out.
bool MayChange(QPDF& source, const CopyPlan& plan, const Extent& extent) {
  QPDFObjectHandle metadata = source.getRoot().getKey("/Metadata");
  const std::vector<qpdf_offset_t>& sections = plan.layout.sections;
  return std::binary_search(sections.begin(), sections.end(), extent.at) ||
         extent.object == source.getRoot().getObjGen() ||
         (metadata.isIndirect() && extent.object == metadata.getObjGen()) ||
         Has(plan.dropped, extent.object) ||
         std::find(plan.rewritten.begin(), plan.rewritten.end(), extent.object.getObj()) !=
             plan.rewritten.end();
}

// Every byte the copy replaces, and every place it inserts bytes, lies
// outside every object or inside one that it may change, wholly.
bool ChangesStayInTheirObjects(QPDF& source, const CopyPlan& plan) {
  const std::vector<Extent>& extents = plan.layout.extents;
  for (const Splice& splice : plan.splices) {
    qpdf_offset_t from = splice.at, to = splice.at + splice.length;
    // From the first object that ends after the splice starts, each one
    // that starts before it ends (or, for an insertion, before its place).
    auto extent = std::upper_bound(extents.begin(), extents.end(), from,
                                   [](qpdf_offset_t at, const Extent& e) { return at < e.end; });
    for (; extent != extents.end() && (splice.length > 0 ? extent->at < to : extent->at < from);
         ++extent) {
      bool wholly = splice.length > 0 && from <= extent->at && extent->end <= to;
      bool inside = extent->at <= from && to <= extent->end;
      if (!MayChange(source, plan, *extent) ||
          !(wholly ? Has(plan.dropped, extent->object) : inside))
        return false;
    }
  }
  return true;
}

}  // namespace

bool ProveCopy(QPDF& source, QPDF& copy, InputSource& copyBytes, const CopyPlan& plan) {
  if (!SeparateExtents(plan.layout.extents) || !ChangesStayInTheirObjects(source, plan))
    return false;
  // QPDF hands out a copy of its table.
  const XRefTable after = copy.getXRefTable();
  if (!SameCatalog(source, copy, plan.packet) || !SameTrailer(source, copy, after))
    return false;
  return SameObjects(plan, source, copy, after, copyBytes);
}

}  // namespace pdfl
