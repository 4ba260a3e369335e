#include "copy/object_layout.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "copy/file_end.h"
#include "copy/xref_section.h"
#include "file_input.h"
#include "save.h"

namespace {

// The copy fuzzer's seeds, as the layout readers read them: how many
// sections, of which kind, and where each object the sections list lies.
// Each extent starts at the header of the object QPDF takes from there and
// ends just after an endobj, and no two overlap.
TEST(XRefLayoutTest, ReadsTheCopyFuzzersSeeds) {
  const struct {
    const char* seed;
    size_t sections;
    bool stream;
    size_t extents;  // objects at an offset, and the sections of tables
  } cases[] = {
      {"linearized.pdf", 2, false, 14},
      {"object-streams-1.7.pdf", 1, true, 5},
      {"table-object-after-trailer.pdf", 1, false, 5},
      {"table-packet.pdf", 1, false, 5},
      {"table.pdf", 1, false, 5},
      {"with-xmp-1.6.pdf", 1, false, 5},
      {"xref-stream-catalog-packed-overlap.pdf", 1, true, 4},
      {"xref-stream-overlap.pdf", 1, true, 5},
      {"xref-stream-packet-overlap.pdf", 1, true, 5},
      {"xref-stream-packet-startxref-early.pdf", 1, true, 5},
      {"xref-stream-packet.pdf", 1, true, 5},
      {"xref-stream-startxref-early.pdf", 1, true, 5},
      {"xref-stream.pdf", 1, true, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seed);
    std::string path = std::string(SEEDS) + "/" + c.seed;
    FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    auto in = std::make_shared<pdfl::FileInput>(path, file);
    std::unique_ptr<QPDF> pdf = pdfl::ReadBack(in);
    pdfl::FileEnd end = pdfl::ReadFileEnd(*in);
    std::vector<pdfl::Section> sections = pdfl::ReadRevision(*in, *pdf, end.xrefAt);
    ASSERT_EQ(sections.size(), c.sections);
    EXPECT_EQ(sections[0].stream, c.stream);
    pdfl::XRefTable entries = pdf->getXRefTable();
    // Every offset a row lists, as a copy in place reads them.
    pdfl::LayoutRequest request;
    request.references = true;
    for (pdfl::Section& section : sections) {
      pdfl::ReadStreamRows(*pdf, section);
      for (const pdfl::XRefEntry& entry : section.entries)
        request.starts.push_back(entry.offset);
    }
    pdfl::ObjectLayout layout = pdfl::ReadObjectLayout(*in, *pdf, request, entries);
    for (const pdfl::Section& section : sections)
      pdfl::AddSection(layout, {section.at, section.end, section.object}, section.dictionary);
    EXPECT_EQ(layout.extents.size(), c.extents);
    for (size_t i = 0; i < layout.extents.size(); ++i) {
      const pdfl::Extent& extent = layout.extents[i];
      if (i > 0) {
        EXPECT_LE(layout.extents[i - 1].end, extent.at);
      }
      if (extent.object.getObj() == 0)
        continue;  // a table with its trailer
      EXPECT_EQ(pdfl::ReadAt(*in, extent.end - 6, 6), "endobj") << extent.at;
      std::string header = std::to_string(extent.object.getObj()) + " " +
                           std::to_string(extent.object.getGen()) + " obj";
      EXPECT_EQ(pdfl::ReadAt(*in, extent.at, header.size()), header);
    }
    // Every object QPDF takes from an offset has its extent.
    size_t listed = 0;
    for (const auto& [object, entry] : entries)
      listed += entry.getType() == 1 ? 1 : 0;
    size_t tables = 0;
    for (const pdfl::Section& section : sections)
      tables += section.stream ? 0 : 1;
    EXPECT_GE(layout.extents.size(), listed + tables);
  }
}

}  // namespace
