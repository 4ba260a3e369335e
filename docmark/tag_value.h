// The tag value: the text a tag is stored as, e.g. "S7.9.9-629600-1048576",
// made of the version field (the writer's flag as 'S' or 'D', then the
// version), the three settings bytes in hexadecimal and the file size,
// separated by '-'. Text work alone, with no PDF library.
#ifndef DOCMARK_TAG_VALUE_H
#define DOCMARK_TAG_VALUE_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "docmark/docmark.h"

std::string EncodeTagValue(const PDFSettingsInfo& settings, const PDFVersionInfo& version,
                           int64_t fileSize);
// Splits the text at its two '-' and decodes the three fields in order. The
// first field that fails ends it; the fields before it stay decoded.
bool DecodeTagValue(const std::string& value, PDFSettingsInfo& settings, PDFVersionInfo& version,
                    int64_t& fileSize);

// Each replaces its output when the field decodes, and leaves it alone when
// it does not.
bool ParseVersion(const std::string& field, PDFVersionInfo& version);
bool ParseSettings(const std::string& field, PDFSettingsInfo& settings);
bool ParseFileSize(const std::string& field, int64_t& fileSize);

std::array<uint8_t, 3> PackSettings(const PDFSettingsInfo& settings);
std::string HexEncode(const uint8_t* bytes, size_t count);
// Stops at the first character that is no hexadecimal digit; a lone last
// digit is dropped.
std::vector<uint8_t> HexDecode(const std::string& text);

#endif
