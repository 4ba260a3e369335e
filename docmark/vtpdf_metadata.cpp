#include "vtpdf_metadata.h"

#include <cstring>
#include <vector>

#include "error_guard.h"
#include "xmp_schema.h"

const char vtrlTag[] = "vtrlTag";
const char vtrlPDF[] = "vtrlPDF";

namespace {

// One of the library's conversions from narrow text: the reader and the
// writer use different ones.
typedef ASText (*TextFromNarrow)(const char* text, int32_t reserved);

// Inside a guard: the property's value text, or null when there is none, with
// the namespace and name texts it is asked by; texts keeps all three.
ASText PropertyText(PDDoc document, TextFromNarrow fromNarrow, const char* namespaceURI,
                    const char* name, Texts& texts) {
  ASText namespaceText = texts.Keep(fromNarrow(namespaceURI, 0));
  ASText nameText = texts.Keep(fromNarrow(name, 0));
  return texts.Keep(PDDocGetXAPMetadataProperty(document, namespaceText, nameText));
}

// Hands the edited packet back to the document.
bool StoreXmpPacket(PDDoc document, const std::u16string& packet) {
  Texts texts;
  bool stored = Guarded([&] {
    ASText packetText = texts.Keep(ASTextFromUnicode(
        reinterpret_cast<const uint16_t*>(packet.c_str()), kASTextUTF16HostOrder));
    PDDocSetXAPMetadata(document, packetText);
  });
  bool released = texts.Release();
  return stored && released;
}

// The Info value's length in bytes; 0 when absent or on a library error.
int32_t InfoLength(PDDoc document, const char* key) {
  int32_t length = 0;
  Guarded([&] { length = PDDocGetInfo(document, key, nullptr, 0); });
  return length;
}

}  // namespace

VTPDFMetadataReader::VTPDFMetadataReader(PDDoc document) : document(document) {}

VTPDFMetadataReader::~VTPDFMetadataReader() = default;

std::string VTPDFMetadataReader::GetTag() {
  std::string infoValue = GetInfoValue(vtrlTag);
  std::string xmpValue = GetXmpProperty(vtrlTag, kTaggingNamespaceURI);
  return infoValue.empty() ? xmpValue : infoValue;
}

std::string VTPDFMetadataReader::GetInfoValue(const std::string& key) {
  if (!document)
    return std::string();
  int32_t length = InfoLength(document, key.c_str());
  if (length <= 0)
    return std::string();
  std::vector<char> buffer(static_cast<size_t>(length) + 1);
  if (!Guarded([&] { PDDocGetInfo(document, key.c_str(), buffer.data(), length + 1); }))
    return std::string();
  // The value ends at its first zero byte.
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

std::string VTPDFMetadataReader::GetXmpProperty(const std::string& name,
                                                const std::string& namespaceURI) {
  if (!document || name.empty() || namespaceURI.empty())
    return std::string();
  Texts texts;
  const char* bytes = nullptr;
  Guarded([&] {
    ASText valueText =
        PropertyText(document, ASTextFromBytes, namespaceURI.c_str(), name.c_str(), texts);
    if (valueText)
      bytes = ASTextGetBytes(valueText, 0);
  });
  // The bytes belong to the value text: copy them before it goes.
  std::string value = bytes ? bytes : "";
  if (!texts.Release())
    return std::string();
  return value;
}

VTPDFMetadataWriter::VTPDFMetadataWriter(PDDoc document, const PathChar* path)
    : document(document), path(path ? path : PathString()) {}

VTPDFMetadataWriter::~VTPDFMetadataWriter() = default;

bool VTPDFMetadataWriter::SetTag(const std::string& value) {
  return SetXmpProperty(kTaggingNamespaceURI, vtrlTag, value);
}

bool VTPDFMetadataWriter::SetXmpProperty(const std::string& namespaceURI, const std::string& name,
                                         const std::string& value) {
  if (namespaceURI.empty() || name.empty() || value.empty() || !document)
    return false;
  if (!ClearInfoValue(name))
    return false;

  // The schema is declared when the property is absent or empty; a packet
  // without the anchors of the edit is left as it is and the write fails.
  if (!HasXmpProperty(document, namespaceURI.c_str(), name.c_str())) {
    std::u16string packet = GetXmpPacket(document);
    if (packet.empty() || !EnsureExtensionSchemas(packet) || !AddTagSchema(packet))
      return false;
    if (!StoreXmpPacket(document, packet))
      return false;
  }

  Texts texts;
  bool stored = Guarded([&] {
    ASText namespaceText = texts.Keep(ASTextFromScriptBytes(namespaceURI.c_str(), 0));
    ASText prefixText = texts.Keep(ASTextFromScriptBytes(vtrlPDF, 0));
    ASText nameText = texts.Keep(ASTextFromScriptBytes(name.c_str(), 0));
    ASText valueText = texts.Keep(ASTextFromScriptBytes(value.c_str(), 0));
    PDDocSetXAPMetadataProperty(document, namespaceText, prefixText, nameText, valueText);
  });
  bool released = texts.Release();
  return stored && released;
}

bool VTPDFMetadataWriter::ClearInfoValue(const std::string& key) {
  if (!document || key.empty())
    return false;
  if (!HasInfoValue(document, key.c_str()))
    return true;
  return SetInfoValue(key, std::string());
}

bool VTPDFMetadataWriter::SetInfoValue(const std::string& key, const std::string& value) {
  if (!document || key.empty())
    return false;
  return Guarded([&] {
    PDDocSetInfo(document, key.c_str(), value.data(), static_cast<int32_t>(value.size()));
  });
}

bool HasInfoValue(PDDoc document, const char* key) {
  if (!document || !key || !*key)
    return false;
  return InfoLength(document, key) != 0;
}

bool HasXmpProperty(PDDoc document, const char* namespaceURI, const char* name) {
  if (!namespaceURI || !*namespaceURI || !name || !*name || !document)
    return false;
  Texts texts;
  bool present = false;
  Guarded([&] {
    ASText valueText = PropertyText(document, ASTextFromScriptBytes, namespaceURI, name, texts);
    present = valueText && !ASTextIsEmpty(valueText);
  });
  return texts.Release() && present;
}

std::u16string GetXmpPacket(PDDoc document) {
  if (!document)
    return std::u16string();
  Texts texts;
  const uint16_t* units = nullptr;
  Guarded([&] {
    ASText packetText = texts.Keep(PDDocGetXAPMetadata(document));
    if (packetText)
      units = ASTextGetUnicode(packetText);
  });
  // The units belong to the packet text: copy them before it goes.
  std::u16string packet;
  for (const uint16_t* unit = units; unit && *unit; ++unit)
    packet += static_cast<char16_t>(*unit);
  if (!texts.Release())
    return std::u16string();
  return packet;
}
