#include "copy/xref_writer.h"

#include <algorithm>

#include "copy/not_copyable.h"
#include "copy/stream_data.h"

namespace pdfl {

namespace {

std::string Decimal(uint64_t value, size_t width) {
  std::string digits = std::to_string(value);
  Require(digits.size() <= width);
  return std::string(width - digits.size(), '0') + digits;
}

// Runs of consecutive numbers: (first row, count).
std::vector<std::pair<size_t, size_t>> Runs(const std::vector<XRefRow>& rows) {
  std::vector<std::pair<size_t, size_t>> runs;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (i > 0 && rows[i].number == rows[i - 1].number + 1)
      ++runs.back().second;
    else
      runs.emplace_back(i, 1);
  }
  return runs;
}

size_t Width(uint64_t value) {
  size_t width = 1;
  while (width < 8 && (value >> (8 * width)) != 0)
    ++width;
  return width;
}

void AppendField(std::string& data, uint64_t value, size_t width) {
  for (size_t i = width; i-- > 0;)
    data += static_cast<char>((value >> (8 * i)) & 0xff);
}

}  // namespace

std::string NewTable(const std::vector<XRefRow>& rows, const std::string& keys) {
  std::string table = "xref\n0 1\n0000000000 65535 f\r\n";
  for (const auto& [first, count] : Runs(rows)) {
    table += std::to_string(rows[first].number) + " " + std::to_string(count) + "\n";
    for (size_t i = first; i < first + count; ++i) {
      Require(rows[i].type == 1 && rows[i].number > 0);
      table += Decimal(rows[i].second, 10) + " " + Decimal(rows[i].third, 5) + " n\r\n";
    }
  }
  return table + "trailer\n<<" + keys + " >>\n";
}

std::string NewXRefStream(QPDFObjGen object, qpdf_offset_t at, std::vector<XRefRow> rows,
                          const std::string& keys) {
  rows.push_back({0, 0, 0, 65535});
  rows.push_back(
      {object.getObj(), 1, static_cast<uint64_t>(at), static_cast<uint64_t>(object.getGen())});
  std::sort(rows.begin(), rows.end(),
            [](const XRefRow& a, const XRefRow& b) { return a.number < b.number; });
  uint64_t second = 0, third = 0;
  for (const XRefRow& row : rows) {
    second = std::max(second, row.second);
    third = std::max(third, row.third);
  }
  size_t widths[3] = {1, Width(second), Width(third)};
  std::string data, index;
  for (const auto& [first, count] : Runs(rows)) {
    index += " " + std::to_string(rows[first].number) + " " + std::to_string(count);
    for (size_t i = first; i < first + count; ++i) {
      AppendField(data, static_cast<uint64_t>(rows[i].type), widths[0]);
      AppendField(data, rows[i].second, widths[1]);
      AppendField(data, rows[i].third, widths[2]);
    }
  }
  std::string compressed = Deflate(data);
  return std::to_string(object.getObj()) + " " + std::to_string(object.getGen()) +
         " obj\n<< /Type /XRef /W [1 " + std::to_string(widths[1]) + " " +
         std::to_string(widths[2]) + "] /Index [" + index.substr(1) + "]" + keys +
         " /Filter /FlateDecode /Length " + std::to_string(compressed.size()) + " >>\nstream\n" +
         compressed + "\nendstream\nendobj\n";
}

}  // namespace pdfl
