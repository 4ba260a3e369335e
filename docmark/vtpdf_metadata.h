// Fetches the tag value from an open document and stores it there. Reading
// prefers the document information and falls back to the XMP property;
// writing empties the document-information entry, declares the tag's schema
// in the XMP packet on first use, and sets the XMP property. A library error
// never leaves these operations: it becomes an empty value or false.
#ifndef DOCMARK_VTPDF_METADATA_H
#define DOCMARK_VTPDF_METADATA_H

#include <string>

#include "vtpdf.h"

// The document-information key and the XMP property name of the tag.
extern const char vtrlTag[];
// The XMP prefix of the tagging namespace.
extern const char vtrlPDF[];

class VTPDFMetadataReader {
 public:
  explicit VTPDFMetadataReader(PDDoc document);
  virtual ~VTPDFMetadataReader();

  std::string GetTag();  // empty when the document carries none
  std::string GetInfoValue(const std::string& key);
  std::string GetXmpProperty(const std::string& name, const std::string& namespaceURI);

  PDDoc document;  // borrowed
};

class VTPDFMetadataWriter {
 public:
  VTPDFMetadataWriter(PDDoc document, const PathChar* path);
  virtual ~VTPDFMetadataWriter();

  bool SetTag(const std::string& value);
  bool SetXmpProperty(const std::string& namespaceURI, const std::string& name,
                      const std::string& value);
  bool ClearInfoValue(const std::string& key);
  bool SetInfoValue(const std::string& key, const std::string& value);

  PDDoc document;  // borrowed
  PathString path;
};

bool HasInfoValue(PDDoc document, const char* key);
bool HasXmpProperty(PDDoc document, const char* namespaceURI, const char* name);
std::u16string GetXmpPacket(PDDoc document);  // empty when there is none

#endif
