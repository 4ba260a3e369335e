// The tag text decoder: any text is decoded or refused, and a decoded tag
// written out again decodes to the same fields.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "vtpdf_tag.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static VTPDFTag& tag = *new VTPDFTag;  // one start of the library for the run
  std::string text(reinterpret_cast<const char*>(data), size);
  if (!tag.DecodeTagValue(text))
    return 0;
  PDFSettingsInfo settings = tag.settings;
  PDFVersionInfo version = tag.version;
  int64_t fileSize = tag.fileSize;
  std::array<uint8_t, 3> bytes = PackSettings(settings);
  char versionField[48];
  std::snprintf(versionField, sizeof versionField, "%c%d.%d.%d", version.writerFlag ? 'S' : 'D',
                version.major, version.minor, version.build);
  std::string again = std::string(versionField) + "-" + HexEncode(bytes.data(), bytes.size()) +
                      "-" + std::to_string(fileSize);
  if (!tag.DecodeTagValue(again) || std::memcmp(&tag.settings, &settings, sizeof settings) != 0 ||
      tag.version.major != version.major || tag.version.minor != version.minor ||
      tag.version.build != version.build || tag.fileSize != fileSize)
    std::abort();
  return 0;
}
