#include "copy/copy_writer.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include <qpdf/QUtil.hh>

#include "copy/lexer.h"
#include "copy/not_copyable.h"
#include "file_input.h"
#include "os/byte_copy.h"

namespace pdfl {

namespace {

// Copies the source's bytes from `from` to `to`: inside the kernel when the
// source is a file.
void CopyRange(InputSource& source, qpdf_offset_t from, qpdf_offset_t to, FILE* out) {
  if (auto* file = dynamic_cast<FileInput*>(&source)) {
    CopyBytes(file->file(), from, to - from, out);
    return;
  }
  std::vector<char> block(1 << 20);
  source.seek(from, SEEK_SET);
  while (from < to) {
    size_t want = static_cast<size_t>(std::min<qpdf_offset_t>(block.size(), to - from));
    size_t got = source.read(block.data(), want);
    if (got == 0 || std::fwrite(block.data(), 1, got, out) != got)
      throw std::runtime_error("copy failed");
    from += got;
  }
}

}  // namespace

void WriteCopy(InputSource& source, const std::vector<Splice>& splices, FILE* out) {
  source.seek(0, SEEK_END);
  qpdf_offset_t size = source.tell();
  qpdf_offset_t at = 0;
  for (const Splice& splice : splices) {
    CopyRange(source, at, splice.at, out);
    if (std::fwrite(splice.bytes.data(), 1, splice.bytes.size(), out) != splice.bytes.size())
      throw std::runtime_error("write failed");
    at = splice.at + splice.length;
  }
  CopyRange(source, at, size, out);
}

void WriteSplices(const std::vector<Splice>& splices, FILE* file) {
  for (const Splice& splice : splices) {
    if (QUtil::seek(file, splice.at, SEEK_SET) != 0 ||
        std::fwrite(splice.bytes.data(), 1, splice.bytes.size(), file) != splice.bytes.size())
      throw std::runtime_error("write failed");
  }
  if (std::fflush(file) != 0)
    throw std::runtime_error("write failed");
}

std::vector<Splice> Undo(const std::vector<Splice>& splices, InputSource& source) {
  std::vector<Splice> undo;
  for (const Splice& splice : splices) {
    std::string old = ReadAt(source, splice.at, splice.bytes.size());
    if (old.size() != splice.bytes.size())
      throw std::runtime_error("read failed");
    undo.push_back({splice.at, LengthOf(old), old});
  }
  return undo;
}

}  // namespace pdfl
