// VTPDFTag: the content of one tag, moved between memory and a PDF file, and
// the tag value's text format, e.g. "S7.9.9-629600-1048576": version field,
// the three settings bytes in hexadecimal, and the file size.
#ifndef DOCMARK_VTPDF_TAG_H
#define DOCMARK_VTPDF_TAG_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

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

  // The tag text of the members, and its reverse: splits the text at its
  // two '-' and decodes the three fields into them.
  std::string EncodeTagValue() const;
  bool DecodeTagValue(const std::string& value);

  bool ParseVersion(const std::string& field);
  bool ParseSettings(const std::string& field);
  bool ParseFileSize(const std::string& field);

  PDFSettingsInfo settings;
  PDFVersionInfo version;
  int64_t fileSize;
};

std::array<uint8_t, 3> PackSettings(const PDFSettingsInfo& settings);
std::string HexEncode(const uint8_t* bytes, size_t count);
std::vector<uint8_t> HexDecode(const std::string& text);

#endif
