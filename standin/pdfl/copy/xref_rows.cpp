#include "copy/xref_rows.h"

#include <climits>

#include "copy/not_copyable.h"

namespace pdfl {

uint64_t XRefRows::Field(size_t row, int field) const {
  size_t at = row * RowSize();
  for (int i = 0; i < field; ++i)
    at += widths[i];
  uint64_t value = 0;
  for (size_t i = 0; i < widths[field]; ++i)
    value = (value << 8) | static_cast<unsigned char>(data[at + i]);
  return value;
}

void XRefRows::SetField(size_t row, int field, uint64_t value) {
  size_t at = row * RowSize();
  for (int i = 0; i < field; ++i)
    at += widths[i];
  size_t width = widths[field];
  Require(width == 8 || value < (uint64_t(1) << (8 * width)));
  for (size_t i = width; i-- > 0; value >>= 8)
    data[at + i] = static_cast<char>(value & 0xff);
}

void RequireNumbers(int64_t first, int64_t count) {
  Require(first >= 0 && first <= INT32_MAX && count >= 0 &&
          count <= int64_t(INT32_MAX) + 1 - first);
}

XRefRanges IndexRanges(QPDFObjectHandle dictionary) {
  QPDFObjectHandle index = dictionary.getKey("/Index");
  if (index.isNull())
    index =
        QPDFObjectHandle::newArray({QPDFObjectHandle::newInteger(0), dictionary.getKey("/Size")});
  Require(index.isArray() && index.getArrayNItems() % 2 == 0);
  XRefRanges ranges;
  for (int i = 0; i < index.getArrayNItems(); i += 2) {
    QPDFObjectHandle first = index.getArrayItem(i), count = index.getArrayItem(i + 1);
    Require(first.isInteger() && count.isInteger());
    long long from = first.getIntValue(), n = count.getIntValue();
    RequireNumbers(from, n);
    ranges.emplace_back(from, n);
  }
  return ranges;
}

XRefRows ReadRows(QPDFObjectHandle stream) {
  XRefRows rows;
  QPDFObjectHandle dictionary = stream.getDict();
  QPDFObjectHandle w = dictionary.getKey("/W");
  Require(w.isArray() && w.getArrayNItems() == 3);
  for (int i = 0; i < 3; ++i) {
    Require(w.getArrayItem(i).isInteger());
    long long width = w.getArrayItem(i).getIntValue();
    Require(width >= 0 && width <= 8);
    rows.widths[i] = static_cast<size_t>(width);
  }
  Require(rows.widths[0] > 0 && rows.widths[1] > 0);
  rows.ranges = IndexRanges(dictionary);
  auto decoded = stream.getStreamData(qpdf_dl_generalized);
  rows.data.assign(reinterpret_cast<const char*>(decoded->getBuffer()), decoded->getSize());
  Require(rows.data.size() % rows.RowSize() == 0);
  size_t listed = 0;
  for (const auto& [first, count] : rows.ranges) {
    Require(static_cast<uint64_t>(count) <= rows.Count() - listed);
    listed += static_cast<size_t>(count);
  }
  Require(listed == rows.Count());
  return rows;
}

}  // namespace pdfl
