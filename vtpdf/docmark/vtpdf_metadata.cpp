#include "vtpdf_metadata.h"

#include <cstring>
#include <vector>

#include "pdfl_calls.h"
#include "xmp_schema.h"

const char vtrlTag[] = "vtrlTag";
const char vtrlPDF[] = "vtrlPDF";

namespace {

// Hands the edited packet back to the document. The packet's text object is
// released also when the library refuses the packet.
bool StoreXmpPacket(PDDoc document, const std::u16string& packet) {
  volatile ASText packetText = nullptr;
  volatile bool stored = false;
  PDFL_GUARD_BEGIN
    packetText = ASTextFromUnicode(reinterpret_cast<const uint16_t*>(packet.c_str()),
                                   kASTextUTF16HostOrder);
    PDDocSetXAPMetadata(document, packetText);
    stored = true;
  PDFL_GUARD_HANDLER
  PDFL_GUARD_END
  ASTextDestroy(packetText);
  return stored;
}

// The Info value's length in bytes; 0 when absent or on a library error.
int32_t InfoLength(PDDoc document, const char* key) {
  volatile int32_t length = 0;
  PDFL_GUARD_BEGIN
    length = PDDocGetInfo(document, key, nullptr, 0);
  PDFL_GUARD_HANDLER
  PDFL_GUARD_END
  return length;
}

bool CopyInfo(PDDoc document, const char* key, char* buffer, int32_t size) {
  volatile bool copied = false;
  PDFL_GUARD_BEGIN
    PDDocGetInfo(document, key, buffer, size);
    copied = true;
  PDFL_GUARD_HANDLER
  PDFL_GUARD_END
  return copied;
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
  if (!CopyInfo(document, key.c_str(), buffer.data(), length + 1))
    return std::string();
  // The value ends at its first zero byte.
  return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
}

std::string VTPDFMetadataReader::GetXmpProperty(const std::string& name,
                                                const std::string& namespaceURI) {
  if (!document || name.empty() || namespaceURI.empty())
    return std::string();
  volatile ASText namespaceText = nullptr;
  volatile ASText nameText = nullptr;
  volatile ASText valueText = nullptr;
  const char* volatile bytes = nullptr;
  PDFL_GUARD_BEGIN
    namespaceText = ASTextFromBytes(namespaceURI.c_str(), 0);
    nameText = ASTextFromBytes(name.c_str(), 0);
    valueText = PDDocGetXAPMetadataProperty(document, namespaceText, nameText);
    if (valueText)
      bytes = ASTextGetBytes(valueText, 0);
  PDFL_GUARD_HANDLER
  PDFL_GUARD_END
  // The bytes belong to the value text: copy them before it goes.
  std::string value = bytes ? bytes : "";
  ASTextDestroy(namespaceText);
  ASTextDestroy(nameText);
  ASTextDestroy(valueText);
  return value;
}

VTPDFMetadataWriter::VTPDFMetadataWriter(PDDoc document, const PathChar* path)
    : document(document), path(path ? path : PathString()) {}

VTPDFMetadataWriter::~VTPDFMetadataWriter() = default;

bool VTPDFMetadataWriter::SetTag(const std::string& value) {
  return SetXmpProperty(kTaggingNamespaceURI, vtrlTag, value);
}

bool VTPDFMetadataWriter::SetXmpProperty(const std::string& namespaceURI,
                                         const std::string& name, const std::string& value) {
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

  volatile ASText namespaceText = nullptr;
  volatile ASText prefixText = nullptr;
  volatile ASText nameText = nullptr;
  volatile ASText valueText = nullptr;
  volatile bool stored = false;
  PDFL_GUARD_BEGIN
    namespaceText = ASTextFromScriptBytes(namespaceURI.c_str(), 0);
    prefixText = ASTextFromScriptBytes(vtrlPDF, 0);
    nameText = ASTextFromScriptBytes(name.c_str(), 0);
    valueText = ASTextFromScriptBytes(value.c_str(), 0);
    PDDocSetXAPMetadataProperty(document, namespaceText, prefixText, nameText, valueText);
    stored = true;
  PDFL_GUARD_HANDLER
  PDFL_GUARD_END
  ASTextDestroy(namespaceText);
  ASTextDestroy(prefixText);
  ASTextDestroy(nameText);
  ASTextDestroy(valueText);
  return stored;
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
  volatile bool stored = false;
  PDFL_GUARD_BEGIN
    PDDocSetInfo(document, key.c_str(), value.data(), static_cast<int32_t>(value.size()));
    stored = true;
  PDFL_GUARD_HANDLER
  PDFL_GUARD_END
  return stored;
}

bool HasInfoValue(PDDoc document, const char* key) {
  if (!document || !key || !*key)
    return false;
  return InfoLength(document, key) != 0;
}

bool HasXmpProperty(PDDoc document, const char* namespaceURI, const char* name) {
  if (!namespaceURI || !*namespaceURI || !name || !*name || !document)
    return false;
  volatile ASText namespaceText = nullptr;
  volatile ASText nameText = nullptr;
  volatile ASText valueText = nullptr;
  volatile bool present = false;
  PDFL_GUARD_BEGIN
    namespaceText = ASTextFromScriptBytes(namespaceURI, 0);
    nameText = ASTextFromScriptBytes(name, 0);
    valueText = PDDocGetXAPMetadataProperty(document, namespaceText, nameText);
    present = valueText && !ASTextIsEmpty(valueText);
  PDFL_GUARD_HANDLER
  PDFL_GUARD_END
  ASTextDestroy(namespaceText);
  ASTextDestroy(nameText);
  ASTextDestroy(valueText);
  return present;
}

std::u16string GetXmpPacket(PDDoc document) {
  if (!document)
    return std::u16string();
  volatile ASText packetText = nullptr;
  const uint16_t* volatile units = nullptr;
  PDFL_GUARD_BEGIN
    packetText = PDDocGetXAPMetadata(document);
    if (packetText)
      units = ASTextGetUnicode(packetText);
  PDFL_GUARD_HANDLER
  PDFL_GUARD_END
  // The units belong to the packet text: copy them before it goes.
  std::u16string packet;
  for (const uint16_t* unit = units; unit && *unit; ++unit)
    packet += static_cast<char16_t>(*unit);
  ASTextDestroy(packetText);
  return packet;
}
