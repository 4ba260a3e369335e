#include "metadata.h"

#include <atomic>
#include <cctype>
#include <memory>
#include <mutex>

#include <exempi/xmp.h>
#include <exempi/xmpconsts.h>

#include "document.h"
#include "errors.h"
#include "hooks.h"
#include "operations.h"
#include "packet_cost.h"
#include "text.h"

namespace pdfl {

namespace {

struct XmpStringFree {
  void operator()(XmpStringPtr text) const { xmp_string_free(text); }
};
using XmpString = std::unique_ptr<std::remove_pointer_t<XmpStringPtr>, XmpStringFree>;

const char kTaggingNamespace[] = "http://ns.vantrel.com/pdf/tagging/";
const char kTaggingPrefix[] = "vtrlPDF";

std::atomic<bool> started{false};

void CheckStarted() {
  if (!started)
    Fail(kPDFLErrGeneral);
}

void RegisterNamespace(const std::string& uri, const std::string& prefix) {
  if (uri.empty() || prefix.empty() ||
      !xmp_register_namespace(uri.c_str(), prefix.c_str(), nullptr))
    Fail(kPDFLErrBadParameter);
}

Xmp Parse(const std::string& packet) {
  if (packet.empty() || PacketParseCost(packet) > kMaximumPacketParseCost)
    Fail(kPDFLErrBadXMP);
  Xmp xmp(xmp_new(packet.data(), packet.size()));
  if (!xmp)
    Fail(kPDFLErrBadXMP);
  return xmp;
}

// The packet's length when it has padding, which a packet stored in its place
// keeps so that the file keeps its size; 0 when it has none.
size_t PaddedLength(const std::string& packet) {
  size_t end = packet.rfind("<?xpacket end=");
  if (end == std::string::npos)
    return 0;
  size_t white = end;
  while (white > 0 && std::isspace(static_cast<unsigned char>(packet[white - 1])))
    --white;
  // A line end alone is no padding.
  return end - white > 2 ? packet.size() : 0;
}

// One space per level, from level 0, CR LF line ends: the layout callers
// that edit the packet text rely on. The packet carries Exempi's padding
// (2 KB of white space); given the length of the packet it replaces, it keeps
// exactly that length whenever its content fits with padding to spare, so
// that the next packet stored in its place, a write's second pass, keeps it
// too.
std::string Serialize(XmpPtr xmp, size_t length = 0) {
  XmpString text(xmp_string_new());
  auto serialize = [&](uint32_t options, size_t padding) {
    return xmp_serialize_and_format(xmp, text.get(), options, static_cast<uint32_t>(padding),
                                    "\r\n", " ", 0);
  };
  auto result = [&] {
    return std::string(xmp_string_cstr(text.get()), xmp_string_len(text.get()));
  };
  if (length > 0 && serialize(XMP_SERIAL_EXACTPACKETLENGTH, length) && PaddedLength(result()) > 0)
    return result();
  if (!serialize(0, 0))
    Fail(kPDFLErrGeneral);
  return result();
}

// A PDF date "D:YYYYMMDDHHmmSSOHH'mm'" in XMP's form; empty when it has no
// year.
std::string XmpDate(const std::string& pdfDate) {
  std::string s = pdfDate.compare(0, 2, "D:") == 0 ? pdfDate.substr(2) : pdfDate;
  size_t digits = 0;
  while (digits < s.size() && digits < 14 && std::isdigit(static_cast<unsigned char>(s[digits])))
    ++digits;
  if (digits < 4)
    return std::string();
  std::string out = s.substr(0, 4);
  const char* separators[] = {"-", "-", "T", ":", ":"};
  for (size_t i = 0; i < 5 && 6 + 2 * i <= digits; ++i)
    out += separators[i] + s.substr(4 + 2 * i, 2);
  if (digits < 10)
    return out;
  if (digits < 12)
    out += ":00";
  std::string zone = s.substr(digits);
  if (!zone.empty() && zone[0] == 'Z') {
    out += "Z";
  } else if (zone.size() >= 3 && (zone[0] == '+' || zone[0] == '-')) {
    std::string minutes = zone.size() >= 7 && zone[3] == '\'' ? zone.substr(4, 2) : "00";
    out += zone.substr(0, 3) + ":" + minutes;
  }
  return out;
}

// A packet that says what the document information says.
Xmp BuildFromInfo(QPDF& pdf) {
  Xmp xmp(xmp_new_empty());
  QPDFObjectHandle info = InfoDictionary(pdf, false);
  auto value = [&](const char* key) {
    QPDFObjectHandle entry = info.isDictionary() ? info.getKey(key) : QPDFObjectHandle::newNull();
    return entry.isString() ? entry.getUTF8Value() : std::string();
  };
  std::string text;
  if (!(text = value("/Title")).empty())
    xmp_set_localized_text(xmp.get(), NS_DC, "title", "", "x-default", text.c_str(), 0);
  if (!(text = value("/Author")).empty())
    xmp_append_array_item(xmp.get(), NS_DC, "creator", XMP_PROP_ARRAY_IS_ORDERED, text.c_str(), 0);
  if (!(text = value("/Subject")).empty())
    xmp_set_localized_text(xmp.get(), NS_DC, "description", "", "x-default", text.c_str(), 0);
  if (!(text = value("/Keywords")).empty())
    xmp_set_property(xmp.get(), NS_PDF, "Keywords", text.c_str(), 0);
  if (!(text = value("/Creator")).empty())
    xmp_set_property(xmp.get(), NS_XAP, "CreatorTool", text.c_str(), 0);
  if (!(text = value("/Producer")).empty())
    xmp_set_property(xmp.get(), NS_PDF, "Producer", text.c_str(), 0);
  if (!(text = XmpDate(value("/CreationDate"))).empty())
    xmp_set_property(xmp.get(), NS_XAP, "CreateDate", text.c_str(), 0);
  if (!(text = XmpDate(value("/ModDate"))).empty())
    xmp_set_property(xmp.get(), NS_XAP, "ModifyDate", text.c_str(), 0);
  return xmp;
}

// The document's packet: its /Metadata stream parsed, or one built from the
// document information when it has none. It is parsed once per document.
XmpPtr CurrentXmp(PDFLDoc& document) {
  if (document.xmp)
    return document.xmp.get();
  QPDF& pdf = *document.pdf;
  QPDFObjectHandle metadata = pdf.getRoot().getKey("/Metadata");
  if (document.addsPacket) {
    document.xmp = Parse(document.addedPacket);
    document.paddedLength = PaddedLength(document.addedPacket);
  } else if (!metadata.isStream()) {
    document.xmp = BuildFromInfo(pdf);
    document.paddedLength = 0;
  } else {
    auto data = metadata.getStreamData(qpdf_dl_all);
    std::string packet(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    document.xmp = Parse(packet);
    document.paddedLength = PaddedLength(packet);
  }
  return document.xmp.get();
}

// Stores the packet as the catalog's /Metadata, uncompressed. A stream the
// catalog has already takes the new data. Otherwise the packet waits in the
// document until a save: a new object would make QPDF read every object of
// the document to find a free number, which a save by a copy does not need.
void Store(PDFLDoc& document, const std::string& packet) {
  QPDFObjectHandle stream = document.pdf->getRoot().getKey("/Metadata");
  if (!stream.isStream()) {
    document.addedPacket = packet;
    document.addsPacket = true;
    document.paddedLength = PaddedLength(packet);
    return;
  }
  stream.replaceStreamData(packet, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
  for (const auto& [key, value] :
       {std::pair("/Type", "/Metadata"), std::pair("/Subtype", "/XML")}) {
    if (!stream.getDict().getKey(key).isNameAndEquals(value)) {
      stream.getDict().replaceKey(key, QPDFObjectHandle::newName(value));
      document.changedBeyondMetadata = true;
    }
  }
  document.paddedLength = PaddedLength(packet);
}

}  // namespace

void AddStoredPacket(PDFLDoc& document) {
  if (!document.addsPacket)
    return;
  QPDF& pdf = *document.pdf;
  QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf, document.addedPacket);
  stream.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/Metadata"));
  stream.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/XML"));
  pdf.getRoot().replaceKey("/Metadata", stream);
  document.addsPacket = false;
  document.addedPacket.clear();
}

void StartMetadata() {
  // Once for the process: a static's initialisation runs once however many
  // threads start the library.
  static const bool once = [] {
    if (!xmp_init())
      return false;
    // A packet that binds a namespace before it is registered keeps the
    // packet's prefix for the process's life, so the tagging one comes first.
    xmp_register_namespace(kTaggingNamespace, kTaggingPrefix, nullptr);
    started = true;
    return true;
  }();
  (void)once;
  if (!started)
    Fail(kPDFLErrGeneral);
}

ASText PDDocGetXAPMetadata(PDDoc doc) {
  return Entry("PDDocGetXAPMetadata", [&] {
    PDFLDoc& document = DocumentOf(doc);
    CheckStarted();
    if (CurrentHooks().EmptyPacket())
      return NewText(std::u16string());
    return NewText(Utf8ToUtf16(Serialize(CurrentXmp(document))));
  });
}

void PDDocSetXAPMetadata(PDDoc doc, ASText packet) {
  Entry("PDDocSetXAPMetadata", [&] {
    PDFLDoc& document = DocumentOf(doc);
    std::string text = TextUtf8(packet);
    CheckStarted();
    CheckMayModify(*document.pdf);
    Xmp parsed = Parse(text);
    Store(document, text);
    document.xmp = std::move(parsed);
  });
}

ASText PDDocGetXAPMetadataProperty(PDDoc doc, ASText namespaceURI, ASText name) {
  return Entry("PDDocGetXAPMetadataProperty", [&] {
    PDFLDoc& document = DocumentOf(doc);
    std::string uri = TextUtf8(namespaceURI), property = TextUtf8(name);
    CheckStarted();
    XmpPtr xmp = CurrentXmp(document);
    XmpString value(xmp_string_new());
    if (!xmp_get_property(xmp, uri.c_str(), property.c_str(), value.get(), nullptr))
      return ASText(nullptr);
    return NewText(Utf8ToUtf16(xmp_string_cstr(value.get())));
  });
}

void PDDocSetXAPMetadataProperty(PDDoc doc, ASText namespaceURI, ASText prefix, ASText name,
                                 ASText value) {
  Entry("PDDocSetXAPMetadataProperty", [&] {
    PDFLDoc& document = DocumentOf(doc);
    std::string uri = TextUtf8(namespaceURI), prefixText = TextUtf8(prefix),
                property = TextUtf8(name), valueText = TextUtf8(value);
    CheckStarted();
    CheckMayModify(*document.pdf);
    RegisterNamespace(uri, prefixText);
    XmpPtr xmp = CurrentXmp(document);
    if (!xmp_set_property(xmp, uri.c_str(), property.c_str(), valueText.c_str(), 0)) {
      document.xmp.reset();
      Fail(kPDFLErrBadParameter);
    }
    Store(document, Serialize(xmp, document.paddedLength));
  });
}

}  // namespace pdfl
