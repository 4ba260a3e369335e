#include "copy/file_end.h"

#include <algorithm>
#include <string>

#include "copy/lexer.h"
#include "copy/not_copyable.h"
#include "copy/pdf_syntax.h"

namespace pdfl {

FileEnd ReadFileEnd(InputSource& in) {
  FileEnd end;
  in.seek(0, SEEK_END);
  end.size = in.tell();
  qpdf_offset_t tailAt = std::max<qpdf_offset_t>(0, end.size - 1024);
  std::string tail = ReadAt(in, tailAt, Bytes(end.size - tailAt));
  size_t eof = tail.rfind("%%EOF");
  Require(eof != std::string::npos);
  for (size_t i = eof + 5; i < tail.size(); ++i)
    Require(IsWhite(tail[i]));
  size_t keyword = tail.rfind("startxref", eof);
  Require(keyword != std::string::npos);
  size_t digits = keyword + 9;
  while (digits < eof && IsWhite(tail[digits]))
    ++digits;
  size_t digitsEnd = digits;
  while (digitsEnd < eof && IsDigit(tail[digitsEnd]))
    ++digitsEnd;
  Require(digitsEnd > digits && digitsEnd - digits < 16);
  end.keywordAt = tailAt + static_cast<qpdf_offset_t>(keyword);
  end.digitsAt = tailAt + static_cast<qpdf_offset_t>(digits);
  end.digitsLength = static_cast<qpdf_offset_t>(digitsEnd - digits);
  end.xrefAt = ParseInteger(std::string_view(tail).substr(digits, digitsEnd - digits));
  return end;
}

}  // namespace pdfl
