#include "library_fixture.h"

namespace {

const char kTagging[] = "http://ns.vantrel.com/pdf/tagging/";

class MetadataTest : public LibraryTest {
 protected:
  PDDoc OpenNew(const pdf_maker::PdfOptions& options) {
    pdf_maker::WritePdf(Path("a.pdf"), options);
    return Open(Path("a.pdf"));
  }

  ASErrorCode SetPacket(PDDoc doc, const std::string& packet) {
    ASText text = Text(packet);
    ASErrorCode code = Guarded(
        [&] { Call<PDDocSetXAPMetadataProc>(pdMetadata_, kPDDocSetXAPMetadataSel, doc, text); });
    Destroy(text);
    return code;
  }

  // The property's value, or "(none)".
  std::string Property(PDDoc doc, const char* ns, const char* name) {
    ASText nsText = Text(ns), nameText = Text(name), value = nullptr;
    EXPECT_EQ(Guarded([&] {
                value = Call<PDDocGetXAPMetadataPropertyProc>(
                    pdMetadata_, kPDDocGetXAPMetadataPropertySel, doc, nsText, nameText);
              }),
              0);
    std::string result = value ? Utf8(value) : "(none)";
    Destroy(nsText);
    Destroy(nameText);
    Destroy(value);
    return result;
  }

  ASErrorCode SetProperty(PDDoc doc, const char* ns, const char* prefix, const char* name,
                          const char* value) {
    ASText texts[] = {Text(ns), Text(prefix), Text(name), Text(value)};
    ASErrorCode code = Guarded([&] {
      Call<PDDocSetXAPMetadataPropertyProc>(pdMetadata_, kPDDocSetXAPMetadataPropertySel, doc,
                                            texts[0], texts[1], texts[2], texts[3]);
    });
    for (ASText text : texts)
      Destroy(text);
    return code;
  }
};

bool EveryLineEndsInCrLf(const std::string& text) {
  for (size_t i = text.find('\n'); i != std::string::npos; i = text.find('\n', i + 1))
    if (i == 0 || text[i - 1] != '\r')
      return false;
  return text.find('\n') != std::string::npos;
}

TEST_F(MetadataTest, PacketIsBuiltFromTheInfoWhenThereIsNone) {
  pdf_maker::PdfOptions options;
  options.info = {{"Title", "A title"},
                  {"Author", "Ann"},
                  {"Producer", "maker"},
                  {"CreationDate", "D:20240102030405+01'30'"}};
  PDDoc doc = OpenNew(options);
  ASSERT_NE(doc, nullptr);
  std::string packet = Packet(doc);
  EXPECT_TRUE(EveryLineEndsInCrLf(packet)) << packet;
  EXPECT_NE(packet.find("</rdf:RDF>\r\n</x:xmpmeta>"), std::string::npos) << packet;
  EXPECT_NE(packet.find(">A title</rdf:li>"), std::string::npos) << packet;
  EXPECT_NE(packet.find(">Ann</rdf:li>"), std::string::npos) << packet;
  EXPECT_NE(packet.find("<pdf:Producer>maker</pdf:Producer>"), std::string::npos) << packet;
  EXPECT_NE(packet.find("<xmp:CreateDate>2024-01-02T03:04:05+01:30</xmp:CreateDate>"),
            std::string::npos)
      << packet;
  Close(doc);
}

TEST_F(MetadataTest, StoredPacketIsServedWithCrLfInTheEditedLayout) {
  pdf_maker::PdfOptions options;
  options.xmp =
      "<?xpacket begin=\"\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
      "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
      "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
      "<rdf:Description rdf:about=\"\" "
      "xmlns:pdfaExtension=\"http://www.aiim.org/pdfa/ns/extension/\" "
      "xmlns:pdfaSchema=\"http://www.aiim.org/pdfa/ns/schema#\">\n"
      "<pdfaExtension:schemas><rdf:Bag><rdf:li rdf:parseType=\"Resource\">"
      "<pdfaSchema:prefix>x</pdfaSchema:prefix></rdf:li></rdf:Bag></pdfaExtension:schemas>\n"
      "</rdf:Description></rdf:RDF></x:xmpmeta>\n<?xpacket end=\"w\"?>";
  PDDoc doc = OpenNew(options);
  ASSERT_NE(doc, nullptr);
  std::string packet = Packet(doc);
  EXPECT_TRUE(EveryLineEndsInCrLf(packet)) << packet;
  EXPECT_NE(packet.find("</rdf:RDF>\r\n</x:xmpmeta>"), std::string::npos) << packet;
  EXPECT_NE(packet.find("</rdf:Bag>\r\n   </pdfaExtension:schemas>"), std::string::npos) << packet;

  pdfl_testing::DeliverEmptyPacket(true);
  EXPECT_EQ(Packet(doc), "");
  Close(doc);
}

TEST_F(MetadataTest, SetPacketIsStoredUncompressedOrRaises) {
  PDDoc doc = OpenNew(pdf_maker::PdfOptions());
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(SetPacket(doc, "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF"), kPDFLErrBadXMP);
  EXPECT_EQ(SetPacket(doc, ""), kPDFLErrBadXMP);
  EXPECT_EQ(Save(doc, Path("a.pdf"), 0xA1, 0x52), 0);
  EXPECT_EQ(pdf_maker::MetadataXml(Path("a.pdf")), "");

  std::string packet = pdf_maker::SimpleXmp();
  EXPECT_EQ(SetPacket(doc, packet), 0);
  EXPECT_NE(Packet(doc).find("<pdf:Producer>pdf_maker</pdf:Producer>"), std::string::npos);
  EXPECT_EQ(Save(doc, Path("a.pdf"), 0xA1, 0x52), 0);
  Close(doc);
  EXPECT_EQ(pdf_maker::MetadataXml(Path("a.pdf")), packet);
  EXPECT_NE(pdf_maker::ReadFile(Path("a.pdf")).find(packet), std::string::npos);
  EXPECT_TRUE(pdf_maker::CheckOk(Path("a.pdf")));
}

TEST_F(MetadataTest, PropertiesAreReadAndSetUnderTheirPrefix) {
  pdf_maker::PdfOptions options;
  // The packet binds the tagging namespace to a prefix of its own.
  options.xmp = pdf_maker::SimpleXmp(
      "<rdf:Description rdf:about=\"\" xmlns:other=\"http://ns.vantrel.com/pdf/tagging/\">\r\n"
      "<other:note>kept</other:note>\r\n</rdf:Description>\r\n");
  PDDoc doc = OpenNew(options);
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(Property(doc, kTagging, "note"), "kept");
  EXPECT_EQ(Property(doc, kTagging, "vtrlTag"), "(none)");
  EXPECT_EQ(SetProperty(doc, kTagging, "vtrlPDF", "vtrlTag", "S7.9.9-1-2"), 0);
  EXPECT_EQ(SetProperty(doc, "http://example.com/ns/", "exa", "size", "12"), 0);
  EXPECT_EQ(Property(doc, kTagging, "vtrlTag"), "S7.9.9-1-2");
  EXPECT_EQ(Property(doc, "http://example.com/ns/", "size"), "12");
  EXPECT_EQ(SetProperty(doc, "http://example.com/other/", "", "x", "1"), kPDFLErrBadParameter);
  EXPECT_EQ(Save(doc, Path("a.pdf"), 0xA1, 0x52), 0);
  Close(doc);
  std::string stored = pdf_maker::MetadataXml(Path("a.pdf"));
  EXPECT_NE(stored.find("<vtrlPDF:vtrlTag>S7.9.9-1-2</vtrlPDF:vtrlTag>"), std::string::npos)
      << stored;
  EXPECT_NE(stored.find("<vtrlPDF:note>kept</vtrlPDF:note>"), std::string::npos) << stored;
  EXPECT_NE(stored.find("<exa:size>12</exa:size>"), std::string::npos) << stored;
}

TEST_F(MetadataTest, DamagedStoredPacketRaises) {
  pdf_maker::PdfOptions options;
  options.xmp = "<x:xmpmeta>not closed";
  PDDoc doc = OpenNew(options);
  ASSERT_NE(doc, nullptr);
  ASErrorCode code = 0;
  Packet(doc, &code);
  EXPECT_EQ(code, kPDFLErrBadXMP);
  Close(doc);
}

}  // namespace
