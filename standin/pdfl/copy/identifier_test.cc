#include "copy/identifier.h"

#include <gtest/gtest.h>

#include <qpdf/QPDFObjectHandle.hh>

namespace {

// A new /ID[1] takes the place of the old one's bytes: it must be written
// in as many bytes and code as many, whatever escapes the old one used, or
// the file and the stored size move.
TEST(IdentifierTest, KeepsTheStringsBytesAndLength) {
  const char* const cases[] = {
      "<41>",     "<4 1>",          "<414>",      "(A)",      "(\\()",      "(\\\\)",
      "(a\\\nb)", "(\\101\\7\\12)", "((nested))", "(x\r\ny)", "(\\nab\\r)",
  };
  std::mt19937 random(7);
  for (const char* raw : cases) {
    SCOPED_TRACE(raw);
    size_t length = QPDFObjectHandle::parse(raw).getStringValue().size();
    for (int round = 0; round < 200; ++round) {
      std::string fresh = pdfl::NewIdentifier(raw, random);
      ASSERT_EQ(fresh.size(), std::string(raw).size()) << fresh;
      ASSERT_EQ(QPDFObjectHandle::parse(fresh).getStringValue().size(), length) << fresh;
    }
  }
}

}  // namespace
