#include "tag_value.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>

namespace {

const PDFSettingsInfo kSettings629600 = {2, 150, true, false, true};
const PDFVersionInfo kVersion799S = {7, 9, 9, true};
const PDFSettingsInfo kNoSettings = {};
const PDFVersionInfo kNoVersion = {};
const int32_t kLargest32 = std::numeric_limits<int32_t>::max();
const int64_t kLargest64 = std::numeric_limits<int64_t>::max();

// The byte of a bool as it lies in the record.
int Byte(const bool& flag) {
  unsigned char byte;
  std::memcpy(&byte, &flag, 1);
  return byte;
}

TEST(TagValueTest, EncodesTheFields) {
  PDFSettingsInfo optionATwo = {};
  unsigned char two = 2;
  std::memcpy(&optionATwo.optionA, &two, 1);
  const struct {
    PDFSettingsInfo settings;
    PDFVersionInfo version;
    int64_t fileSize;
    const char* text;
  } cases[] = {
      {kSettings629600, kVersion799S, 1048576, "S7.9.9-629600-1048576"},
      {{5, 300, false, true, false}, {7, 9, 9, false}, 20480, "D7.9.9-152C01-20480"},
      {kNoSettings, kNoVersion, 0, "D0.0.0-000000-0"},
      // Only the low bits of mode and amount are kept, amount low byte first.
      {{18, 65686, false, false, false}, {7, 9, 9, false}, 1, "D7.9.9-029600-1"},
      {{0, -1, false, false, false}, {7, 9, 9, false}, 1, "D7.9.9-00FFFF-1"},
      // A host's true may be any non-zero byte.
      {optionATwo, {12, 345, 6789, false}, kLargest64, "D12.345.6789-200000-9223372036854775807"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.text, EncodeTagValue(c.settings, c.version, c.fileSize));
  }
}

// Every tolerance of the decoder.
TEST(TagValueTest, DecodesTheText) {
  const struct {
    std::string text;
    PDFVersionInfo version;
    PDFSettingsInfo settings;
    int64_t fileSize;
  } cases[] = {
      {"S7.9.9-629600-1048576", kVersion799S, kSettings629600, 1048576},
      {"D7.9.9-152C01-20480", {7, 9, 9, false}, {5, 300, false, true, false}, 20480},
      {"D0.0.0-000000-0", kNoVersion, kNoSettings, 0},
      // The version field: characters other than digits and dots are skipped.
      {"S7a.9b.9c-629600-1", kVersion799S, kSettings629600, 1},
      {"S7.9.x-629600-1", {7, 9, 0, true}, kSettings629600, 1},
      {"S07.09.009-629600-1", kVersion799S, kSettings629600, 1},
      {"S7\xC3\xA9.9.9-629600-1", kVersion799S, kSettings629600, 1},
      {"S99999999999.9.9-629600-1", {kLargest32, 9, 9, true}, kSettings629600, 1},
      // The settings field: decoding stops at a non-digit, a lone last digit
      // is dropped, bit 0x80 is ignored.
      {"S7.9.9-629600ZZ-1", kVersion799S, kSettings629600, 1},
      {"S7.9.9-6296000-1", kVersion799S, kSettings629600, 1},
      {"S7.9.9-E29600-1", kVersion799S, kSettings629600, 1},
      {"S7.9.9-6296ab-1", kVersion799S, {2, 0xAB96, true, false, true}, 1},
      // The size field.
      {"S7.9.9-629600-", kVersion799S, kSettings629600, 0},
      {"S7.9.9-629600-99999999999999999999", kVersion799S, kSettings629600, kLargest64},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("\"" + c.text + "\"");
    PDFSettingsInfo settings = {};
    PDFVersionInfo version = {};
    int64_t fileSize = -1;
    ASSERT_TRUE(DecodeTagValue(c.text, settings, version, fileSize));
    EXPECT_EQ(c.version.major, version.major);
    EXPECT_EQ(c.version.minor, version.minor);
    EXPECT_EQ(c.version.build, version.build);
    EXPECT_EQ(int{c.version.writerFlag}, Byte(version.writerFlag));
    EXPECT_EQ(c.settings.mode, settings.mode);
    EXPECT_EQ(c.settings.amount, settings.amount);
    EXPECT_EQ(int{c.settings.optionA}, Byte(settings.optionA));
    EXPECT_EQ(int{c.settings.optionB}, Byte(settings.optionB));
    EXPECT_EQ(int{c.settings.optionC}, Byte(settings.optionC));
    EXPECT_EQ(c.fileSize, fileSize);
  }
}

TEST(TagValueTest, RefusesTheText) {
  const char* const refused[] = {
      // The version field.
      "s7.9.9-629600-1", "d7.9.9-629600-1", "-629600-1", "S7.9-629600-1", "S7.9.9.1-629600-1",
      "S7..9-629600-1", "S.7.9.9-629600-1", "S7.9.-629600-1",
      // The settings field.
      "S7.9.9-62960-1", "S7.9.9-62960000-1", "S7.9.9-Z629600-1", "S7.9.9--1",
      // The size field.
      "S7.9.9-629600-+5", "S7.9.9-629600- 5", "S7.9.9-629600-5 ", "S7.9.9-629600--5",
      // The split.
      "S7.9.9-629600-100-1", "S7.9.9", "S7.9.9-629600", ""};
  for (const char* text : refused) {
    SCOPED_TRACE(std::string("\"") + text + "\"");
    PDFSettingsInfo settings = {};
    PDFVersionInfo version = {};
    int64_t fileSize = 0;
    EXPECT_FALSE(DecodeTagValue(text, settings, version, fileSize));
  }
}

TEST(TagValueTest, AFailedFieldLeavesItsOutputAlone) {
  PDFVersionInfo version = {1, 2, 3, true};
  PDFSettingsInfo settings = {4, 5, true, true, true};
  int64_t fileSize = 6;
  EXPECT_FALSE(ParseVersion("D7.9", version));
  EXPECT_FALSE(ParseSettings("6296", settings));
  EXPECT_FALSE(ParseFileSize("7x", fileSize));
  EXPECT_EQ(1, version.major);
  EXPECT_TRUE(version.writerFlag);
  EXPECT_EQ(4, settings.mode);
  EXPECT_EQ(6, fileSize);

  // The fields before the one that fails stay decoded.
  EXPECT_FALSE(DecodeTagValue("S7.9.9-629600-x", settings, version, fileSize));
  EXPECT_EQ(7, version.major);
  EXPECT_EQ(2, settings.mode);
  EXPECT_EQ(6, fileSize);
}

}  // namespace
