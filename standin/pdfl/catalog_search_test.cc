#include "catalog_search.h"

#include <gtest/gtest.h>

#include <string>

#include <qpdf/BufferInputSource.hh>

namespace {

std::string Find(const std::string& bytes) {
  BufferInputSource input("test", bytes);
  return pdfl::FindCatalog(input);
}

// The search reads a megabyte at a time: a catalog is found wherever a block
// ends, in the middle of its "obj" or its "/Catalog" too, and the last of
// several is the one.
TEST(CatalogSearchTest, FindsTheLastCatalogAcrossBlocks) {
  const std::string object = "7 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
  for (size_t shift = 0; shift <= object.size(); ++shift) {
    SCOPED_TRACE(shift);
    std::string padding((1 << 20) - shift, '%');
    padding.back() = '\n';
    EXPECT_EQ(Find(padding + object), "7 0 R");
    EXPECT_EQ(Find("1 0 obj\n<< /Type /Catalog >>\nendobj\n" + padding + object), "7 0 R");
  }
  const struct {
    const char* bytes;
    const char* catalog;
  } cases[] = {
      {"1 0 obj <</Type/Catalog>>", "1 0 R"},
      {"1 0 obj << /Type /Catalog >> endobj 2 0 obj << /Type /Catalogue >>", "1 0 R"},
      {"1 0 obj << /Type /Catalog >> endobj /Type /Catalog", "1 0 R"},
      {"x1 0 obj << /Type /Catalog >>", ""},
      {"1 0 obj << /Kind /Catalog >>", ""},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Find(c.bytes), c.catalog) << c.bytes;
}

}  // namespace
