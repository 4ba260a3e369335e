// The layout of a file's cross-reference data, as the save by a copy reads
// it from the raw bytes: its sections (tables with their trailers, or
// streams), the end of the file, the one revision a copy can take, and where
// every object those sections list lies.
#ifndef PDFL_XREF_LAYOUT_H
#define PDFL_XREF_LAYOUT_H

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <qpdf/InputSource.hh>
#include <qpdf/QPDF.hh>

#include "pdf_lexer.h"

namespace pdfl {

// The decoded rows of a cross-reference stream: three fields of /W bytes
// each, and the /Index ranges (first number, count) they list in order.
struct XRefRows {
  size_t widths[3] = {0, 0, 0};
  std::string data;
  std::vector<std::pair<int64_t, int64_t>> ranges;

  size_t RowSize() const { return widths[0] + widths[1] + widths[2]; }
  size_t Count() const { return data.size() / RowSize(); }
  uint64_t Field(size_t row, int field) const;
  // Throws NotCopyable when the value does not fit the field.
  void SetField(size_t row, int field, uint64_t value);
};

// An in-use entry of a section: its object's offset, and in a table where
// the offset's ten digits start.
struct XRefEntry {
  qpdf_offset_t offset = 0;
  qpdf_offset_t digitsAt = 0;
};

// One cross-reference section: a table with its trailer, or a stream.
struct Section {
  bool stream = false;
  Dictionary dictionary;        // the trailer, or the stream's dictionary
  qpdf_offset_t at = 0;         // its first token: "xref", or the stream's "n g obj"
  qpdf_offset_t end = 0;        // just past the trailer's dictionary, or the stream's endobj
  QPDFObjGen object;            // a stream's
  qpdf_offset_t trailerAt = 0;  // a table's: where "trailer" starts
  // The objects it lists at an offset; a stream's once its rows are read.
  std::vector<XRefEntry> entries;
  // A stream's rows, once read.
  bool rowsRead = false;
  XRefRows rows;
};

// The section whose first token is at or after `at` (a reader takes
// startxref's offset with white space before the section).
Section ReadSection(const std::shared_ptr<InputSource>& in, qpdf_offset_t at, QPDF& pdf);

// Decodes a stream section's rows, once, and the entries they hold.
void ReadStreamRows(QPDF& pdf, Section& section);

// The end of the file: startxref, its offset, %%EOF and nothing after it but
// white space.
struct FileEnd {
  qpdf_offset_t size = 0;
  qpdf_offset_t keywordAt = 0;  // "startxref"
  qpdf_offset_t digitsAt = 0;   // the section's offset, as written
  qpdf_offset_t digitsLength = 0;
  qpdf_offset_t xrefAt = 0;
};

FileEnd ReadFileEnd(InputSource& in);

// One revision: one section, or the two of a linearized file, with no
// /XRefStm of a hybrid file.
std::vector<Section> ReadRevision(const std::shared_ptr<InputSource>& in, QPDF& pdf,
                                  qpdf_offset_t xrefAt);

// Where the objects of a revision lie, and which object numbers its
// references name.
struct ObjectLayout {
  // Each object a section lists at an offset, and each section itself (a
  // table with its trailer, object 0), in file order.
  std::vector<Extent> extents;
  std::vector<qpdf_offset_t> sections;  // where each section starts
  // The numbers from the smallest /Size up that references in object
  // bodies, trailers and object streams name, sorted, each once; read only
  // when asked for.
  std::vector<int> references;
  bool referencesRead = false;

  bool Names(int number) const;
};

using XRefTable = std::map<QPDFObjGen, QPDFXRefEntry>;

// Reads every object the sections list at an offset to its end, each at
// the header of the object QPDF takes from there, and, when
// `references` is set, every reference outside stream data, object streams
// decoded. `entries` are the sections as QPDF resolves them.
ObjectLayout ReadObjectLayout(const std::shared_ptr<InputSource>& in, QPDF& pdf,
                              std::vector<Section>& sections, const XRefTable& entries,
                              bool references);

}  // namespace pdfl

#endif
