// The tag value decoder: any text is decoded or refused, and a decoded tag
// encoded again decodes to the same fields.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tag_value.h"

namespace {

struct Tag {
  PDFSettingsInfo settings;
  PDFVersionInfo version;
  int64_t fileSize;
};

// Into a tag zeroed whole, padding included, so that two compare as bytes.
bool Decode(const std::string& text, Tag& tag) {
  std::memset(&tag, 0, sizeof tag);
  return DecodeTagValue(text, tag.settings, tag.version, tag.fileSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Tag decoded;
  if (!Decode(std::string(reinterpret_cast<const char*>(data), size), decoded))
    return 0;
  Tag again;
  if (!Decode(EncodeTagValue(decoded.settings, decoded.version, decoded.fileSize), again) ||
      std::memcmp(&again, &decoded, sizeof again) != 0)
    std::abort();
  return 0;
}
