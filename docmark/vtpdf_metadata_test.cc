#include "vtpdf_metadata.h"

#include <exempi/xmp.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <string>

#include "error_guard.h"
#include "pdf_maker.h"
#include "pdfl_testing.h"
#include "xmp_schema.h"

namespace {

const char kSchemaName[] = "Vantrel tag schema";

// A packet that carries the tag property with this value, and no schema.
std::string TagXmp(const std::string& value) {
  return "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
         " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
         "  <rdf:Description rdf:about=\"\" xmlns:vtrlPDF=\"" +
         std::string(kTaggingNamespaceURI) +
         "\">\n"
         "   <vtrlPDF:vtrlTag>" +
         value +
         "</vtrlPDF:vtrlTag>\n"
         "  </rdf:Description>\n"
         " </rdf:RDF>\n"
         "</x:xmpmeta>\n"
         "<?xpacket end=\"w\"?>";
}

size_t Count(const std::u16string& text, const std::string& what) {
  std::u16string pattern = pdf_maker::ToUtf16(what);
  size_t count = 0;
  for (size_t at = text.find(pattern); at != std::u16string::npos; at = text.find(pattern, at + 1))
    ++count;
  return count;
}

class MetadataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pdfl_testing::Reset();
    pdf_ = std::make_unique<VTPDF>();
    ASSERT_TRUE(pdf_->libraryStarted);
  }
  void TearDown() override {
    if (document_) {
      EXPECT_TRUE(pdf_->CloseDocument(document_));
    }
    pdf_.reset();
  }

  // Makes a PDF with this Info and XMP (none when empty) and opens it.
  PDDoc Open(const std::map<std::string, std::string>& info, const std::string& xmp) {
    if (document_) {
      EXPECT_TRUE(pdf_->CloseDocument(document_));
    }
    pdf_maker::PdfOptions options;
    options.info = info;
    options.xmp = xmp;
    path_ = scratch_.Path("doc.pdf");
    pdf_maker::WritePdf(path_, options);
    document_ = pdf_->OpenDocument(pdf_maker::ToUtf16(path_).c_str());
    EXPECT_NE(nullptr, document_);
    return document_;
  }

  std::string ReadXmpTag() {
    return VTPDFMetadataReader(document_).GetXmpProperty(vtrlTag, kTaggingNamespaceURI);
  }

  pdf_maker::ScratchDirectory scratch_;
  std::string path_;
  std::unique_ptr<VTPDF> pdf_;
  PDDoc document_ = nullptr;
};

TEST_F(MetadataTest, TagComesFromTheInfoFirstThenFromXmp) {
  const struct {
    const char* what;
    bool hasInfo;
    std::string info;
    std::string xmp;
    std::string tag;
  } cases[] = {
      {"both", true, "A", TagXmp("B"), "A"},
      {"xmp only", false, "", TagXmp("B"), "B"},
      {"empty info", true, "", TagXmp("B"), "B"},
      {"neither", false, "", "", ""},
      {"info with a zero byte", true, std::string("A\0C", 3), TagXmp("B"), "A"},
      {"info starting with a zero byte", true, std::string("\0C", 2), TagXmp("B"), "B"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::map<std::string, std::string> info = {{"Title", "T"}};
    if (c.hasInfo)
      info[vtrlTag] = c.info;
    PDDoc document = Open(info, c.xmp);
    EXPECT_EQ(c.tag, VTPDFMetadataReader(document).GetTag());
  }
}

TEST_F(MetadataTest, ReadingWithoutADocumentGivesNothing) {
  VTPDFMetadataReader reader(nullptr);
  EXPECT_EQ("", reader.GetTag());
  EXPECT_EQ("", reader.GetInfoValue(vtrlTag));
  EXPECT_FALSE(HasInfoValue(nullptr, vtrlTag));
  EXPECT_FALSE(HasXmpProperty(nullptr, kTaggingNamespaceURI, vtrlTag));
  EXPECT_EQ(u"", GetXmpPacket(nullptr));
  EXPECT_FALSE(VTPDFMetadataWriter(nullptr, u"x.pdf").SetTag("S7.9.9-0-0"));
}

TEST_F(MetadataTest, RaiseWhileReadingEmptiesOnlyThatValue) {
  const struct {
    const char* operation;
    int skip;
    std::string tag;
  } cases[] = {
      {"PDDocGetInfo", 0, "B"},     // the length query
      {"PDDocGetInfo", 1, "B"},     // the copy
      {"ASTextFromBytes", 0, "A"},  // the namespace
      {"ASTextFromBytes", 1, "A"},  // the name
      {"PDDocGetXAPMetadataProperty", 0, "A"},
      {"ASTextGetBytes", 0, "A"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.operation) + " " + std::to_string(c.skip));
    PDDoc document = Open({{vtrlTag, "A"}}, TagXmp("B"));
    pdfl_testing::RaiseIn(c.operation, c.skip);
    VTPDFMetadataReader reader(document);
    std::string infoValue = reader.GetInfoValue(vtrlTag);
    std::string xmpValue = reader.GetXmpProperty(vtrlTag, kTaggingNamespaceURI);
    EXPECT_EQ(c.tag, infoValue.empty() ? xmpValue : infoValue);
  }
}

TEST_F(MetadataTest, WriteDeclaresTheSchemaInADocumentWithoutMetadata) {
  PDDoc document = Open({{"Title", "T"}}, "");
  EXPECT_NE(u"", GetXmpPacket(document));
  EXPECT_FALSE(HasXmpProperty(document, kTaggingNamespaceURI, vtrlTag));

  EXPECT_TRUE(VTPDFMetadataWriter(document, u"doc.pdf").SetTag("S7.9.9-629600-1048576"));
  std::u16string packet = GetXmpPacket(document);
  EXPECT_EQ(1u, Count(packet, "<pdfaExtension:schemas>"));
  EXPECT_EQ(1u, Count(packet, kSchemaName));
  EXPECT_EQ("S7.9.9-629600-1048576", ReadXmpTag());
  EXPECT_EQ("S7.9.9-629600-1048576", VTPDFMetadataReader(document).GetTag());
  EXPECT_FALSE(HasInfoValue(document, vtrlTag));
}

TEST_F(MetadataTest, WriteEmptiesAnOldInfoTag) {
  PDDoc document = Open({{vtrlTag, "old"}, {"Title", "T"}}, "");
  EXPECT_TRUE(VTPDFMetadataWriter(document, u"doc.pdf").SetTag("new"));
  VTPDFMetadataReader reader(document);
  EXPECT_EQ("", reader.GetInfoValue(vtrlTag));
  EXPECT_EQ("T", reader.GetInfoValue("Title"));
  EXPECT_EQ("new", reader.GetTag());
}

TEST_F(MetadataTest, PresentPropertyKeepsThePacketAsItIs) {
  PDDoc document = Open({}, TagXmp("B"));
  EXPECT_TRUE(HasXmpProperty(document, kTaggingNamespaceURI, vtrlTag));
  EXPECT_TRUE(VTPDFMetadataWriter(document, u"doc.pdf").SetTag("C"));
  EXPECT_EQ(0u, Count(GetXmpPacket(document), "pdfaExtension"));
  EXPECT_EQ("C", ReadXmpTag());

  // A second write into a document that has its schema adds none.
  Open({}, "");
  EXPECT_TRUE(VTPDFMetadataWriter(document_, u"doc.pdf").SetTag("D"));
  EXPECT_TRUE(VTPDFMetadataWriter(document_, u"doc.pdf").SetTag("E"));
  EXPECT_EQ(1u, Count(GetXmpPacket(document_), kSchemaName));
  EXPECT_EQ("E", ReadXmpTag());
}

TEST_F(MetadataTest, EmptyPropertyGetsASecondSchemaItem) {
  PDDoc document = Open({}, "");
  EXPECT_TRUE(VTPDFMetadataWriter(document, u"doc.pdf").SetTag("D"));
  // Empty the property again, as another tool might.
  ASText nameSpace = ASTextFromScriptBytes(kTaggingNamespaceURI, 0);
  ASText prefix = ASTextFromScriptBytes(vtrlPDF, 0);
  ASText name = ASTextFromScriptBytes(vtrlTag, 0);
  ASText value = ASTextFromScriptBytes("", 0);
  PDDocSetXAPMetadataProperty(document, nameSpace, prefix, name, value);
  ASTextDestroy(nameSpace);
  ASTextDestroy(prefix);
  ASTextDestroy(name);
  ASTextDestroy(value);
  EXPECT_FALSE(HasXmpProperty(document, kTaggingNamespaceURI, vtrlTag));

  EXPECT_TRUE(VTPDFMetadataWriter(document, u"doc.pdf").SetTag("E"));
  EXPECT_EQ(2u, Count(GetXmpPacket(document), kSchemaName));
  EXPECT_EQ("E", ReadXmpTag());
}

TEST_F(MetadataTest, WriteThatCannotStoreReportsFalse) {
  PDDoc document = Open({{vtrlTag, "old"}}, "");
  EXPECT_FALSE(VTPDFMetadataWriter(document, u"doc.pdf").SetTag(""));
  EXPECT_EQ("old", VTPDFMetadataReader(document).GetInfoValue(vtrlTag));

  pdfl_testing::DeliverEmptyPacket(true);
  EXPECT_EQ(u"", GetXmpPacket(document));
  EXPECT_FALSE(VTPDFMetadataWriter(document, u"doc.pdf").SetTag("new"));
  pdfl_testing::DeliverEmptyPacket(false);
  EXPECT_EQ("", ReadXmpTag());
}

// Every library error inside the write becomes its result; a failed test for
// a value counts it as absent and the write goes on.
TEST_F(MetadataTest, RaiseWhileWritingGivesTheStepsResult) {
  const struct {
    const char* operation;
    int skip;
    bool result;
  } cases[] = {
      {"PDDocGetInfo", 0, true},           // testing the Info entry
      {"PDDocSetInfo", 0, false},          // emptying it
      {"ASTextFromScriptBytes", 0, true},  // testing the property
      {"PDDocGetXAPMetadataProperty", 0, true},
      {"ASTextIsEmpty", 0, true},
      {"PDDocGetXAPMetadata", 0, false},  // reading the packet
      {"ASTextGetUnicode", 0, false},
      {"ASTextFromUnicode", 0, false},  // storing it
      {"PDDocSetXAPMetadata", 0, false},
      {"ASTextFromScriptBytes", 2, false},  // setting the property
      {"ASTextFromScriptBytes", 3, false},
      {"ASTextFromScriptBytes", 4, false},
      {"ASTextFromScriptBytes", 5, false},
      {"PDDocSetXAPMetadataProperty", 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.operation) + " " + std::to_string(c.skip));
    PDDoc document = Open({{vtrlTag, "old"}}, TagXmp(""));
    pdfl_testing::RaiseIn(c.operation, c.skip);
    EXPECT_EQ(c.result, VTPDFMetadataWriter(document, u"doc.pdf").SetTag("new"));
    EXPECT_EQ(c.result ? "new" : "", ReadXmpTag());
  }
}

TEST_F(MetadataTest, SavedFileDeclaresTheSchemaAndHoldsTheTag) {
  PDDoc document = Open({{"Title", "T"}}, "");
  ASSERT_TRUE(VTPDFMetadataWriter(document, u"doc.pdf").SetTag("S7.9.9-629600-1048576"));
  ASSERT_TRUE(pdf_->SaveDocument(document, pdf_maker::ToUtf16(path_).c_str(), false));

  std::string xml = pdf_maker::MetadataXml(path_);
  for (const char* declaration : {"xmlns:pdfaExtension=\"http://www.aiim.org/pdfa/ns/extension/\"",
                                  "xmlns:pdfaSchema=\"http://www.aiim.org/pdfa/ns/schema#\"",
                                  "xmlns:pdfaProperty=\"http://www.aiim.org/pdfa/ns/property#\""}) {
    EXPECT_NE(std::string::npos, xml.find(declaration)) << declaration;
  }
  EXPECT_NE(std::string::npos,
            xml.find("xmlns:vtrlPDF=\"" + std::string(kTaggingNamespaceURI) + "\""));

  XmpPtr xmp = xmp_new(xml.data(), xml.size());
  ASSERT_NE(nullptr, xmp);
  XmpStringPtr value = xmp_string_new();
  EXPECT_TRUE(xmp_get_property(xmp, kTaggingNamespaceURI, vtrlTag, value, nullptr));
  EXPECT_STREQ("S7.9.9-629600-1048576", xmp_string_cstr(value));
  EXPECT_TRUE(xmp_get_property(xmp, "http://www.aiim.org/pdfa/ns/extension/",
                               "pdfaExtension:schemas[1]/pdfaSchema:prefix", value, nullptr));
  EXPECT_STREQ(vtrlPDF, xmp_string_cstr(value));
  xmp_string_free(value);
  xmp_free(xmp);
}

}  // namespace
