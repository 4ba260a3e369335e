#include "vtpdf_tag.h"

#include <exempi/xmp.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "error_guard.h"
#include "pdf_maker.h"
#include "pdfl_testing.h"
#include "xmp_schema.h"

namespace {

// The tag property of the file's XMP, read by Exempi; empty when absent.
std::string XmpTag(const std::string& path) {
  std::string xml = pdf_maker::MetadataXml(path);
  XmpPtr xmp = xmp_new(xml.data(), xml.size());
  if (!xmp)
    return std::string();
  XmpStringPtr value = xmp_string_new();
  std::string tag;
  if (xmp_get_property(xmp, kTaggingNamespaceURI, "vtrlTag", value, nullptr))
    tag = xmp_string_cstr(value);
  xmp_string_free(value);
  xmp_free(xmp);
  return tag;
}

// The trapping state of the file, through the library: the name, or empty.
std::string Trapped(const std::u16string& path) {
  VTPDF pdf;
  PDDoc document = pdf.OpenDocument(path.c_str());
  if (!document)
    return "(not opened)";
  ASAtom atom = PDDocGetTrapped(document);
  std::string name = atom ? ASAtomGetString(atom) : "";
  pdf.CloseDocument(document);
  return name;
}

void SetTrapped(const std::u16string& path, const char* name) {
  VTPDF pdf;
  PDDoc document = pdf.OpenDocument(path.c_str());
  ASSERT_NE(nullptr, document);
  PDDocSetTrapped(document, ASAtomFromString(name));
  EXPECT_TRUE(pdf.SaveDocument(document, path.c_str(), false));
  pdf.CloseDocument(document);
}

class TagTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pdfl_testing::Reset();
    path_ = scratch_.Path("doc.pdf");
    widePath_ = pdf_maker::ToUtf16(path_);
  }
  void TearDown() override { pdfl_testing::Reset(); }

  pdf_maker::ScratchDirectory scratch_;
  std::string path_;
  std::u16string widePath_;
};

// The encoded text goes into XMP, none into the document information; the
// encoder's own cases are tag_value_test.cc's.
TEST_F(TagTest, WritesTheTagText) {
  pdf_maker::WritePdf(path_, pdf_maker::PdfOptions());
  {
    VTPDFTag tag;
    tag.settings = {2, 150, true, false, true};
    tag.version = {7, 9, 9, true};
    tag.fileSize = 1048576;
    ASSERT_TRUE(tag.WriteTag(widePath_.c_str()));
    EXPECT_EQ(1048576, tag.fileSize);
  }
  EXPECT_EQ("S7.9.9-629600-1048576", XmpTag(path_));
  EXPECT_EQ("", pdf_maker::InfoValue(path_, "vtrlTag"));
}

TEST_F(TagTest, ANewTagWritesAllZero) {
  pdf_maker::WritePdf(path_, pdf_maker::PdfOptions());
  {
    VTPDFTag tag;
    ASSERT_TRUE(tag.WriteTag(widePath_.c_str()));
  }
  EXPECT_EQ("D0.0.0-000000-0", XmpTag(path_));
}

TEST_F(TagTest, TheTrappingStateSurvivesTheWrite) {
  pdf_maker::WritePdf(path_, pdf_maker::PdfOptions());
  SetTrapped(widePath_, "True");
  ASSERT_EQ("True", Trapped(widePath_));
  {
    VTPDFTag tag;
    ASSERT_TRUE(tag.StoreTagValue(widePath_.c_str(), "S7.9.9-629600-1"));
  }
  EXPECT_EQ("True", Trapped(widePath_));
  EXPECT_EQ("S7.9.9-629600-1", XmpTag(path_));

  pdf_maker::WritePdf(path_, pdf_maker::PdfOptions());
  {
    VTPDFTag tag;
    ASSERT_TRUE(tag.StoreTagValue(widePath_.c_str(), "S7.9.9-629600-1"));
  }
  EXPECT_EQ("", Trapped(widePath_));
}

// A write that fails at any step closes the document and leaves the file as
// it was.
TEST_F(TagTest, AFailedWriteClosesTheDocumentAndSavesNothing) {
  const struct {
    const char* what;
    std::function<void()> arrange;
  } cases[] = {
      {"open", [] { pdfl_testing::RaiseIn("PDDocOpen"); }},
      {"permission", [] { pdfl_testing::DenyPermission(5); }},
      {"reading the trapping state", [] { pdfl_testing::RaiseIn("PDDocGetTrapped"); }},
      {"naming the trapping state", [] { pdfl_testing::RaiseIn("ASAtomGetString"); }},
      {"no packet", [] { pdfl_testing::DeliverEmptyPacket(true); }},
      {"storing the property", [] { pdfl_testing::RaiseIn("PDDocSetXAPMetadataProperty"); }},
      // The path's atom comes first.
      {"naming the state again", [] { pdfl_testing::RaiseIn("ASAtomFromString", 1); }},
      {"setting the trapping state", [] { pdfl_testing::RaiseIn("PDDocSetTrapped"); }},
      {"reading the flags", [] { pdfl_testing::RaiseIn("PDDocGetFlags"); }},
      {"saving", [] { pdfl_testing::RaiseIn("PDDocSaveWithParams"); }},
  };
  pdf_maker::WritePdf(path_, pdf_maker::PdfOptions());
  SetTrapped(widePath_, "False");
  const std::string before = pdf_maker::ReadFile(path_);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    pdfl_testing::Reset();
    VTPDFTag tag;
    c.arrange();
    EXPECT_FALSE(tag.StoreTagValue(widePath_.c_str(), "S7.9.9-629600-1"));
    EXPECT_EQ(pdfl_testing::GetCounts().opens, pdfl_testing::GetCounts().closes);
    EXPECT_EQ(0, pdfl_testing::GetCounts().saves);
    EXPECT_EQ(before, pdf_maker::ReadFile(path_));
  }
}

}  // namespace
