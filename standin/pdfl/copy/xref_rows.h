// The rows of a cross-reference stream: three fields of /W bytes each, big
// end first, listing the /Index ranges (first number, count) in order.
#ifndef PDFL_COPY_XREF_ROWS_H
#define PDFL_COPY_XREF_ROWS_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <qpdf/QPDFObjectHandle.hh>

namespace pdfl {

using XRefRanges = std::vector<std::pair<int64_t, int64_t>>;

struct XRefRows {
  size_t widths[3] = {0, 0, 0};
  std::string data;
  XRefRanges ranges;

  size_t RowSize() const { return widths[0] + widths[1] + widths[2]; }
  size_t Count() const { return data.size() / RowSize(); }
  uint64_t Field(size_t row, int field) const;
  // Throws NotCopyable when the value does not fit the field.
  void SetField(size_t row, int field, uint64_t value);
};

// Throws NotCopyable unless the `count` object numbers from `first` are all
// numbers an object can have.
void RequireNumbers(int64_t first, int64_t count);

// The stream dictionary's /Index, or the one range its /Size implies.
XRefRanges IndexRanges(QPDFObjectHandle dictionary);
// The rows of the stream, decoded; the ranges must count exactly the rows
// there are.
XRefRows ReadRows(QPDFObjectHandle stream);

}  // namespace pdfl

#endif
