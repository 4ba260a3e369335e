#include "xmp_schema.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const std::u16string kTail = u"</rdf:RDF>\r\n</x:xmpmeta>\r\n<?xpacket end=\"w\"?>";
const std::u16string kPacket =
    u"<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\r\n<rdf:RDF xmlns:rdf=\"x\">\r\n" + kTail;

std::vector<std::u16string> Lines(const std::u16string& text) {
  std::vector<std::u16string> lines;
  size_t start = 0;
  for (size_t at; (at = text.find(u"\r\n", start)) != std::u16string::npos; start = at + 2)
    lines.push_back(text.substr(start, at - start));
  lines.push_back(text.substr(start));
  return lines;
}

size_t Count(const std::u16string& text, const std::u16string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::u16string::npos; at = text.find(part, at + 1))
    ++n;
  return n;
}

TEST(XmpSchema, ContainerAndItemGoInFrontOfTheClosingTags) {
  std::u16string packet = kPacket;
  ASSERT_TRUE(EnsureExtensionSchemas(packet));
  ASSERT_TRUE(AddTagSchema(packet));

  size_t begin = packet.find(u" <rdf:Description");
  ASSERT_NE(begin, std::u16string::npos);
  size_t end = packet.find(u"</x:xmpmeta>") + 12;
  std::vector<std::u16string> lines = Lines(packet.substr(begin, end - begin));
  const size_t indents[] = {1, 3, 4, 5, 6, 6, 6, 6, 7, 8, 9, 9, 9, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
  ASSERT_EQ(lines.size(), 23u);
  for (size_t i = 0; i < lines.size(); ++i)
    EXPECT_EQ(lines[i].find_first_not_of(u' '), indents[i]) << "line " << i + 1;
  EXPECT_EQ(Count(packet, u"<pdfaSchema:prefix>vtrlPDF</pdfaSchema:prefix>"), 1u);
  EXPECT_EQ(Count(packet, u"</rdf:Bag>\r\n   </pdfaExtension:schemas>"), 1u);
  EXPECT_NE(packet.find(u"</x:xmpmeta>\r\n<?xpacket end=\"w\"?>"), std::u16string::npos);
}

TEST(XmpSchema, InsertedTextIsExact) {
  std::u16string packet = kPacket;
  ASSERT_TRUE(EnsureExtensionSchemas(packet));
  ASSERT_TRUE(AddTagSchema(packet));
  const std::u16string expected =
      u"<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\r\n<rdf:RDF xmlns:rdf=\"x\">\r\n"
      u" <rdf:Description rdf:about=\"\" "
      u"xmlns:pdfaExtension=\"http://www.aiim.org/pdfa/ns/extension/\" "
      u"xmlns:pdfaSchema=\"http://www.aiim.org/pdfa/ns/schema#\" "
      u"xmlns:pdfaProperty=\"http://www.aiim.org/pdfa/ns/property#\">\r\n"
      u"   <pdfaExtension:schemas>\r\n"
      u"    <rdf:Bag>\r\n"
      u"     <rdf:li rdf:parseType=\"Resource\">\r\n"
      u"      <pdfaSchema:schema>Vantrel tag schema</pdfaSchema:schema>\r\n"
      u"      <pdfaSchema:namespaceURI>http://ns.vantrel.com/pdf/tagging/"
      u"</pdfaSchema:namespaceURI>\r\n"
      u"      <pdfaSchema:prefix>vtrlPDF</pdfaSchema:prefix>\r\n"
      u"      <pdfaSchema:property>\r\n"
      u"       <rdf:Seq>\r\n"
      u"        <rdf:li rdf:parseType=\"Resource\">\r\n"
      u"         <pdfaProperty:name>vtrlTag</pdfaProperty:name>\r\n"
      u"         <pdfaProperty:valueType>Text</pdfaProperty:valueType>\r\n"
      u"         <pdfaProperty:category>internal</pdfaProperty:category>\r\n"
      u"         <pdfaProperty:description>Vantrel tag</pdfaProperty:description>\r\n"
      u"        </rdf:li>\r\n"
      u"       </rdf:Seq>\r\n"
      u"      </pdfaSchema:property>\r\n"
      u"     </rdf:li>\r\n"
      u"    </rdf:Bag>\r\n"
      u"   </pdfaExtension:schemas>\r\n"
      u"  </rdf:Description>\r\n"
      u" </rdf:RDF>\r\n</x:xmpmeta>\r\n<?xpacket end=\"w\"?>";
  EXPECT_EQ(packet, expected);
}

TEST(XmpSchema, ExistingContainerIsKeptAndOneTagAloneIsNone) {
  std::u16string both = u"</pdfaExtension:schemas> x <pdfaExtension:schemas>";
  std::u16string unchanged = both;
  EXPECT_TRUE(EnsureExtensionSchemas(both));
  EXPECT_EQ(both, unchanged);

  std::u16string one = u"<pdfaExtension:schemas>" + kPacket;
  ASSERT_TRUE(EnsureExtensionSchemas(one));
  EXPECT_EQ(Count(one, u"<pdfaExtension:schemas>"), 2u);
}

TEST(XmpSchema, OtherLayoutsAreRefusedUnchanged) {
  for (std::u16string packet : {std::u16string(), std::u16string(u"</rdf:RDF>\n</x:xmpmeta>"),
                                std::u16string(u"</rdf:RDF> \r\n</x:xmpmeta>")}) {
    std::u16string before = packet;
    EXPECT_FALSE(EnsureExtensionSchemas(packet));
    EXPECT_FALSE(AddTagSchema(packet));
    EXPECT_EQ(packet, before);
  }
  std::u16string twoSpaces = u"</rdf:Bag>\r\n  </pdfaExtension:schemas>";
  EXPECT_FALSE(AddTagSchema(twoSpaces));
}

TEST(XmpSchema, EachAddAppendsOneMoreItem) {
  std::u16string packet = kPacket;
  ASSERT_TRUE(EnsureExtensionSchemas(packet));
  ASSERT_TRUE(AddTagSchema(packet));
  ASSERT_TRUE(AddTagSchema(packet));
  std::u16string item = BuildTagSchemaItem();
  EXPECT_NE(packet.find(item + item), std::u16string::npos);
}

TEST(XmpSchema, ContainerGoesBeforeTheFirstAnchorOnly) {
  std::u16string packet = kPacket + kTail;
  ASSERT_TRUE(EnsureExtensionSchemas(packet));
  EXPECT_EQ(Count(packet, u"<rdf:Bag>"), 1u);
  EXPECT_LT(packet.find(u"<rdf:Bag>"), packet.find(u"</rdf:RDF>"));
}

}  // namespace
