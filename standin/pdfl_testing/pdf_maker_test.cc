#include "pdf_maker.h"

#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

namespace {

class PdfMakerTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/pdf_maker_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string dir_;
};

TEST_F(PdfMakerTest, WritesWhatTheOptionsAsk) {
  std::string path = dir_ + "/a.pdf";
  pdf_maker::PdfOptions options;
  options.version = "1.5";
  options.pages = 3;
  options.info = {{"Title", "T"}, {"Author", "A"}};
  options.xmp = pdf_maker::SimpleXmp();
  options.linearize = true;
  options.objectStreams = true;
  pdf_maker::WritePdf(path, options);
  EXPECT_TRUE(pdf_maker::CheckOk(path));
  EXPECT_EQ(pdf_maker::PageCount(path), 3);
  EXPECT_EQ(pdf_maker::PdfVersion(path), "1.5");
  EXPECT_EQ(pdf_maker::InfoValue(path, "Title"), "T");
  EXPECT_EQ(pdf_maker::InfoValue(path, "Subject"), "");
  EXPECT_EQ(pdf_maker::MetadataXml(path), pdf_maker::SimpleXmp());
  EXPECT_TRUE(pdf_maker::IsLinearized(path));
  EXPECT_TRUE(pdf_maker::HasObjectStreams(path));
  EXPECT_FALSE(pdf_maker::IsEncrypted(path));
}

TEST_F(PdfMakerTest, PlainEncryptedAndDamaged) {
  std::string plain = dir_ + "/plain.pdf", locked = dir_ + "/locked.pdf",
              damaged = dir_ + "/damaged.pdf";
  pdf_maker::PdfOptions options;
  options.version = "1.4";
  pdf_maker::WritePdf(plain, options);
  EXPECT_FALSE(pdf_maker::IsLinearized(plain));
  EXPECT_FALSE(pdf_maker::HasObjectStreams(plain));
  EXPECT_EQ(pdf_maker::MetadataXml(plain), "");

  options.version = "1.6";
  options.encryptNoModify = true;
  options.info = {{"Title", "secret"}};
  pdf_maker::WritePdf(locked, options);
  EXPECT_TRUE(pdf_maker::IsEncrypted(locked));
  EXPECT_EQ(pdf_maker::InfoValue(locked, "Title"), "secret");

  options = pdf_maker::PdfOptions();
  options.pages = 2;
  options.damageXref = true;
  pdf_maker::WritePdf(damaged, options);
  EXPECT_FALSE(pdf_maker::CheckOk(damaged));
  EXPECT_EQ(pdf_maker::PageCount(damaged), 2);
}

TEST(PdfMakerText, ToUtf16) {
  EXPECT_EQ(pdf_maker::ToUtf16("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"),
            u"a\u00e9\u20ac\U0001F600");
}

}  // namespace
