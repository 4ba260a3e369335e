// The tag text decoder: any text is decoded or refused, and a decoded tag
// written out again decodes to the same fields.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "vtpdf_tag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static VTPDFTag& tag = *new VTPDFTag;  // one start of the library for the run
  if (!tag.DecodeTagValue(std::string(reinterpret_cast<const char*>(data), size)))
    return 0;
  PDFSettingsInfo settings = tag.settings;
  PDFVersionInfo version = tag.version;
  int64_t fileSize = tag.fileSize;
  if (!tag.DecodeTagValue(tag.EncodeTagValue()) ||
      std::memcmp(&tag.settings, &settings, sizeof settings) != 0 ||
      std::memcmp(&tag.version, &version, sizeof version) != 0 || tag.fileSize != fileSize)
    std::abort();
  return 0;
}
