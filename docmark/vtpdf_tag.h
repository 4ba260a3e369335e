// VTPDFTag: the content of one tag, moved between memory and a PDF file as
// its tag value (tag_value.h).
#ifndef DOCMARK_VTPDF_TAG_H
#define DOCMARK_VTPDF_TAG_H

#include <cstdint>
#include <string>

#include "docmark/docmark.h"
#include "vtpdf.h"

class VTPDFTag : public VTPDF {
 public:
  VTPDFTag();  // starts the library; all members zero

  bool ReadTag(const PathChar* path);
  // Tags the document at `path` and saves it over `savePath`, or over
  // itself when that is null.
  bool WriteTag(const PathChar* path, const PathChar* savePath = nullptr);
  bool StoreTagValue(const PathChar* path, const char* value, const PathChar* savePath = nullptr);

  // The tag value of the members, and its reverse, into the members.
  std::string EncodeTagValue() const;
  bool DecodeTagValue(const std::string& value);

  bool ParseVersion(const std::string& field);
  bool ParseSettings(const std::string& field);
  bool ParseFileSize(const std::string& field);

  PDFSettingsInfo settings;
  PDFVersionInfo version;
  int64_t fileSize;
};

#endif
