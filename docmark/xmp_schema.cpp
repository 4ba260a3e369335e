#include "xmp_schema.h"

namespace {

std::u16string Widen(const char* text) {
  std::u16string wide;
  for (; *text; ++text)
    wide += static_cast<char16_t>(static_cast<unsigned char>(*text));
  return wide;
}

// Made once when the library loads: the line break and indentation runs of
// one to nine spaces.
const std::u16string kLineBreak = u"\r\n";
const std::u16string kIndent1 = u" ";
const std::u16string kIndent2 = kIndent1 + u" ";
const std::u16string kIndent3 = kIndent2 + u" ";
const std::u16string kIndent4 = kIndent3 + u" ";
const std::u16string kIndent5 = kIndent4 + u" ";
const std::u16string kIndent6 = kIndent5 + u" ";
const std::u16string kIndent7 = kIndent6 + u" ";
const std::u16string kIndent8 = kIndent7 + u" ";
const std::u16string kIndent9 = kIndent8 + u" ";

const char16_t kSchemasStart[] = u"<pdfaExtension:schemas>";
const char16_t kSchemasEnd[] = u"</pdfaExtension:schemas>";

std::u16string ClosingTagsAnchor() {
  return u"</rdf:RDF>" + kLineBreak + u"</x:xmpmeta>";
}

std::u16string BagEndAnchor() {
  return u"</rdf:Bag>" + kLineBreak + kIndent3 + kSchemasEnd;
}

}  // namespace

// The templates are laid out a line of XMP to a line of code.
// clang-format off
std::u16string BuildExtensionDescription() {
  return kIndent1 + u"<rdf:Description rdf:about=\"\" "
         u"xmlns:pdfaExtension=\"http://www.aiim.org/pdfa/ns/extension/\" "
         u"xmlns:pdfaSchema=\"http://www.aiim.org/pdfa/ns/schema#\" "
         u"xmlns:pdfaProperty=\"http://www.aiim.org/pdfa/ns/property#\">" + kLineBreak +
         kIndent3 + kSchemasStart + kLineBreak +
         kIndent4 + u"<rdf:Bag>" + kLineBreak +
         kIndent4 + u"</rdf:Bag>" + kLineBreak +
         kIndent3 + kSchemasEnd + kLineBreak +
         kIndent2 + u"</rdf:Description>" + kLineBreak +
         kIndent1;
}

std::u16string BuildTagSchemaItem() {
  return kIndent1 + u"<rdf:li rdf:parseType=\"Resource\">" + kLineBreak +
         kIndent6 + u"<pdfaSchema:schema>Vantrel tag schema</pdfaSchema:schema>" + kLineBreak +
         kIndent6 + u"<pdfaSchema:namespaceURI>" + Widen(kTaggingNamespaceURI) +
         u"</pdfaSchema:namespaceURI>" + kLineBreak +
         kIndent6 + u"<pdfaSchema:prefix>vtrlPDF</pdfaSchema:prefix>" + kLineBreak +
         kIndent6 + u"<pdfaSchema:property>" + kLineBreak +
         kIndent7 + u"<rdf:Seq>" + kLineBreak +
         kIndent8 + u"<rdf:li rdf:parseType=\"Resource\">" + kLineBreak +
         kIndent9 + u"<pdfaProperty:name>vtrlTag</pdfaProperty:name>" + kLineBreak +
         kIndent9 + u"<pdfaProperty:valueType>Text</pdfaProperty:valueType>" + kLineBreak +
         kIndent9 + u"<pdfaProperty:category>internal</pdfaProperty:category>" + kLineBreak +
         kIndent9 + u"<pdfaProperty:description>Vantrel tag</pdfaProperty:description>" +
         kLineBreak +
         kIndent8 + u"</rdf:li>" + kLineBreak +
         kIndent7 + u"</rdf:Seq>" + kLineBreak +
         kIndent6 + u"</pdfaSchema:property>" + kLineBreak +
         kIndent5 + u"</rdf:li>" + kLineBreak +
         kIndent4;
}
// clang-format on

void ReplaceFirst(std::u16string& text, const std::u16string& pattern,
                  const std::u16string& replacement) {
  size_t at = text.find(pattern);
  if (at != std::u16string::npos)
    text.replace(at, pattern.size(), replacement);
}

bool EnsureExtensionSchemas(std::u16string& packet) {
  if (packet.find(kSchemasStart) != std::u16string::npos &&
      packet.find(kSchemasEnd) != std::u16string::npos)
    return true;
  const std::u16string anchor = ClosingTagsAnchor();
  const std::u16string container = BuildExtensionDescription();
  if (packet.find(anchor) == std::u16string::npos)
    return false;
  ReplaceFirst(packet, anchor, container + anchor);
  return true;
}

bool AddTagSchema(std::u16string& packet) {
  const std::u16string anchor = BagEndAnchor();
  const std::u16string item = BuildTagSchemaItem();
  if (packet.find(anchor) == std::u16string::npos)
    return false;
  ReplaceFirst(packet, anchor, item + anchor);
  return true;
}
