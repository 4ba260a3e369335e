#include "copy/xref_writer.h"

#include <climits>

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>

#include "copy/lexer.h"
#include "copy/not_copyable.h"

namespace pdfl {

namespace {

std::string Decimal(int64_t value, size_t width) {
  Require(value >= 0);
  std::string digits = std::to_string(value);
  Require(digits.size() <= width);
  return std::string(width - digits.size(), '0') + digits;
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

// The added objects as type 1 rows: in every row that lists the object
// already, or in a range of their own at the end.
void AddRows(XRefRows& rows, const AddedObjects& added) {
  for (const auto& [object, offset] : added.objects) {
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
                                 const AddedObjects& added, const std::string& identifier) {
  QPDFObjectHandle copy = dict.shallowCopy();
  copy.replaceKey("/Length", QPDFObjectHandle::newInteger(static_cast<long long>(length)));
  copy.replaceKey("/Filter", QPDFObjectHandle::newName("/FlateDecode"));
  copy.removeKey("/DecodeParms");
  if (added.size > 0)
    copy.replaceKey("/Size", QPDFObjectHandle::newInteger(added.size));
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

}  // namespace

std::string MovedXRefStream(QPDF& pdf, const Section& section,
                            const std::vector<Splice>& objectSplices, const AddedObjects& added,
                            const std::string& identifier) {
  XRefRows rows = section.rows;
  MoveRows(rows, objectSplices);
  AddRows(rows, added);
  std::string data = Deflate(rows.data);
  QPDFObjectHandle dict = MovedDictionary(pdf.getObject(section.object).getDict(), data.size(),
                                          rows, added, identifier);
  return std::to_string(section.object.getObj()) + " " + std::to_string(section.object.getGen()) +
         " obj\n" + dict.unparse() + "\nstream\n" + data + "\nendstream\nendobj";
}

Splice MovedTable(InputSource& in, const Section& section, const std::vector<Splice>& objectSplices,
                  const AddedObjects& added) {
  std::string table = ReadAt(in, section.at, Bytes(section.trailerAt - section.at));
  Require(LengthOf(table) == section.trailerAt - section.at);
  for (const XRefEntry& entry : section.entries)
    table.replace(Bytes(entry.digitsAt - section.at), 10,
                  Decimal(Moved(objectSplices, entry.offset), 10));
  for (const auto& [object, offset] : added.objects)
    table += std::to_string(object.getObj()) + " 1\n" + Decimal(offset, 10) + " " +
             Decimal(object.getGen(), 5) + " n\r\n";
  return {section.at, section.trailerAt - section.at, table};
}

}  // namespace pdfl
