#include "text.h"

#include <gtest/gtest.h>

namespace os {
namespace {

TEST(Text, ValidUtf8DecodesToCodePoints) {
  EXPECT_EQ(decodeUtf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), L"a\u00E9\u20AC\U0001F600");
}

TEST(Text, InvalidBytesDecodeToEscapesAndRoundTrip) {
  struct Case {
    const char* what;
    std::string bytes;
    std::wstring text;
  };
  const Case cases[] = {
      {"stray continuation", "a\x80z", L"a\xDC80z"},
      {"Latin-1 byte", "caf\xE9", L"caf\xDCE9"},
      {"truncated sequence", "\xE2\x82", L"\xDCE2\xDC82"},
      {"overlong slash", "\xC0\xAF", L"\xDCC0\xDCAF"},
      {"encoded surrogate", "\xED\xA0\x80", L"\xDCED\xDCA0\xDC80"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", L"\xDCF4\xDC90\xDC80\xDC80"},
      {"lead byte cut by ASCII", "\xC3(", L"\xDCC3("},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decodeUtf8(c.bytes), c.text) << c.what;
    EXPECT_EQ(encodeUtf8(decodeUtf8(c.bytes)), c.bytes) << c.what;
  }
}

TEST(Text, EveryByteRoundTrips) {
  std::string all;
  for (int b = 1; b < 256; ++b)
    all += char(b);
  EXPECT_EQ(encodeUtf8(decodeUtf8(all)), all);
}

TEST(Text, Utf16leUsesSurrogatePairsAboveBmp) {
  EXPECT_EQ(utf16leBytes(L"A\u00E9"), std::string("A\0\xE9\0", 4));
  EXPECT_EQ(utf16leBytes(L"\U0001F600"), std::string("\x3D\xD8\x00\xDE", 4));
  EXPECT_EQ(utf16leBytes(L"\xDC80"), std::string("\x80\xDC", 2));
}

}  // namespace
}  // namespace os
