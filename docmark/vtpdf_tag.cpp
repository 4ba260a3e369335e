#include "vtpdf_tag.h"

#include "error_guard.h"
#include "tag_value.h"
#include "vtpdf_metadata.h"

VTPDFTag::VTPDFTag() : settings(), version(), fileSize(0) {}

bool VTPDFTag::ReadTag(const PathChar* path) {
  PDDoc document = OpenDocument(path);
  if (!document)
    return false;
  std::string value = VTPDFMetadataReader(document).GetTag();
  CloseDocument(document);
  return DecodeTagValue(value);
}

bool VTPDFTag::DecodeTagValue(const std::string& value) {
  return ::DecodeTagValue(value, settings, version, fileSize);
}

std::string VTPDFTag::EncodeTagValue() const {
  return ::EncodeTagValue(settings, version, fileSize);
}

bool VTPDFTag::WriteTag(const PathChar* path, const PathChar* savePath) {
  return StoreTagValue(path, EncodeTagValue().c_str(), savePath);
}

bool VTPDFTag::StoreTagValue(const PathChar* path, const char* value, const PathChar* savePath) {
  PDDoc document = OpenDocument(path);
  if (!document)
    return false;

  // The trapping state is kept across the metadata write and set back before
  // the save. A library error here ends the write like any other.
  const char* trappedName = nullptr;
  bool trappedRead = Guarded([&] {
    ASAtom trapped = PDDocGetTrapped(document);
    if (trapped)
      trappedName = ASAtomGetString(trapped);
  });
  if (!trappedRead) {
    CloseDocument(document);
    return false;
  }
  const std::string keptTrapped = trappedName ? trappedName : "";

  if (!VTPDFMetadataWriter(document, path).SetTag(value)) {
    CloseDocument(document);
    return false;
  }

  if (!keptTrapped.empty() &&
      !Guarded([&] { PDDocSetTrapped(document, ASAtomFromString(keptTrapped.c_str())); })) {
    CloseDocument(document);
    return false;
  }

  bool saved = false;
  Guarded([&] {
    bool linearize = (PDDocGetFlags(document) & kPDDocIsLinearized) != 0;
    saved = SaveDocument(document, savePath ? savePath : path, linearize);
  });
  CloseDocument(document);
  return saved;
}

bool VTPDFTag::ParseVersion(const std::string& field) {
  return ::ParseVersion(field, version);
}

bool VTPDFTag::ParseSettings(const std::string& field) {
  return ::ParseSettings(field, settings);
}

bool VTPDFTag::ParseFileSize(const std::string& field) {
  return ::ParseFileSize(field, fileSize);
}
