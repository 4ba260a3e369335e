#include "library_fixture.h"

namespace {

using DocumentTest = LibraryTest;

TEST_F(DocumentTest, OpensAndReadsInfo) {
  pdf_maker::PdfOptions options;
  options.info = {{"Title", "Hello"}};
  pdf_maker::WritePdf(Path("a.pdf"), options);
  PDDoc doc = Open(Path("a.pdf"));
  ASSERT_NE(doc, nullptr);
  char buffer[16];
  EXPECT_EQ(Call<PDDocGetInfoProc>(pdModel_, kPDDocGetInfoSel, doc, "Title", buffer, 16), 5);
  EXPECT_STREQ(buffer, "Hello");
  Close(doc);
}

}  // namespace

namespace {

TEST_F(DocumentTest, SmokeSaveAndXmp) {
  pdf_maker::PdfOptions options;
  options.info = {{"Title", "Hello"}};
  options.pages = 2;
  pdf_maker::WritePdf(Path("a.pdf"), options);
  PDDoc doc = Open(Path("a.pdf"));
  ASSERT_NE(doc, nullptr);
  ASText packet = nullptr;
  ASSERT_EQ(Guarded([&] { packet = Call<PDDocGetXAPMetadataProc>(pdMetadata_, kPDDocGetXAPMetadataSel, doc); }), 0);
  std::string xml = Utf8(packet);
  EXPECT_NE(xml.find("Hello"), std::string::npos) << xml;
  EXPECT_NE(xml.find("</rdf:RDF>\r\n</x:xmpmeta>"), std::string::npos) << xml;
  ASText ns = Text("http://ns.vantrel.com/pdf/tagging/"), prefix = Text("vtrlPDF"), name = Text("vtrlTag"), value = Text("S1-2-3");
  ASSERT_EQ(Guarded([&] { Call<PDDocSetXAPMetadataPropertyProc>(pdMetadata_, kPDDocSetXAPMetadataPropertySel, doc, ns, prefix, name, value); }), 0);
  PDDocSaveParams params{};
  params.size = sizeof params;
  params.saveFlags = 0xA5;
  params.newPath = MakePath(Path("a.pdf"));
  params.majorVersion = 1;
  params.minorVersion = 7;
  params.setVersion = 1;
  params.saveFlags2 = 0x52;
  ASSERT_EQ(Guarded([&] { Call<PDDocSaveWithParamsProc>(pdModel_, kPDDocSaveWithParamsSel, doc, &params); }), 0);
  ASSERT_EQ(Guarded([&] { Call<PDDocSaveWithParamsProc>(pdModel_, kPDDocSaveWithParamsSel, doc, &params); }), 0);
  ReleasePath(params.newPath);
  Close(doc);
  EXPECT_TRUE(pdf_maker::IsLinearized(Path("a.pdf")));
  EXPECT_TRUE(pdf_maker::CheckOk(Path("a.pdf")));
  EXPECT_EQ(pdf_maker::PageCount(Path("a.pdf")), 2);
  std::cout << pdf_maker::MetadataXml(Path("a.pdf"));
  Destroy(packet); Destroy(ns); Destroy(prefix); Destroy(name); Destroy(value);
  for (auto& e : std::filesystem::directory_iterator(dir_)) std::cout << e.path() << "\n";
}

}  // namespace
