#include "tag_value.h"

#include <cstdio>
#include <cstring>
#include <limits>

namespace {

// The record's flags come from the host, whose bool may hold any non-zero
// byte for true: read the byte, not the bool.
bool IsSet(const bool& flag) {
  unsigned char byte;
  std::memcpy(&byte, &flag, 1);
  return byte != 0;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The decimal value of a run of digits, leading zeros allowed; a value too
// large for T becomes T's largest.
template <typename T>
T DecimalValue(const std::string& digits) {
  const T largest = std::numeric_limits<T>::max();
  T value = 0;
  for (char c : digits) {
    int digit = c - '0';
    if (value > (largest - digit) / 10)
      return largest;
    value = value * 10 + digit;
  }
  return value;
}

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string EncodeTagValue(const PDFSettingsInfo& settings, const PDFVersionInfo& version,
                           int64_t fileSize) {
  char versionField[48];
  std::snprintf(versionField, sizeof versionField, "%c%d.%d.%d",
                IsSet(version.writerFlag) ? 'S' : 'D', version.major, version.minor, version.build);
  std::array<uint8_t, 3> bytes = PackSettings(settings);
  return std::string(versionField) + "-" + HexEncode(bytes.data(), bytes.size()) + "-" +
         std::to_string(fileSize);
}

bool DecodeTagValue(const std::string& value, PDFSettingsInfo& settings, PDFVersionInfo& version,
                    int64_t& fileSize) {
  if (value.empty())
    return false;
  size_t first = value.find('-');
  if (first == std::string::npos)
    return false;
  size_t second = value.find('-', first + 1);
  if (second == std::string::npos)
    return false;
  if (value.find('-', second + 1) != std::string::npos)
    return false;
  return ParseVersion(value.substr(0, first), version) &&
         ParseSettings(value.substr(first + 1, second - first - 1), settings) &&
         ParseFileSize(value.substr(second + 1), fileSize);
}

bool ParseVersion(const std::string& field, PDFVersionInfo& version) {
  if (field.empty())
    return false;
  bool writerFlag;
  if (field[0] == 'S')
    writerFlag = true;
  else if (field[0] == 'D')
    writerFlag = false;
  else
    return false;

  std::vector<int32_t> numbers;
  std::string digits;
  for (size_t i = 1; i < field.size(); ++i) {
    char c = field[i];
    if (IsDigit(c)) {
      digits += c;
    } else if (c == '.') {
      if (digits.empty() || i + 1 == field.size())
        return false;
      numbers.push_back(DecimalValue<int32_t>(digits));
      digits.clear();
    }
    // Any other character is skipped.
  }
  numbers.push_back(DecimalValue<int32_t>(digits));
  if (numbers.size() != 3)
    return false;

  version.major = numbers[0];
  version.minor = numbers[1];
  version.build = numbers[2];
  version.writerFlag = writerFlag;
  return true;
}

bool ParseSettings(const std::string& field, PDFSettingsInfo& settings) {
  std::vector<uint8_t> bytes = HexDecode(field);
  if (bytes.size() != 3)
    return false;
  settings.mode = bytes[0] & 0x0F;
  settings.amount = bytes[1] | bytes[2] << 8;
  settings.optionA = (bytes[0] & 0x20) != 0;
  settings.optionB = (bytes[0] & 0x10) != 0;
  settings.optionC = (bytes[0] & 0x40) != 0;
  return true;
}

bool ParseFileSize(const std::string& field, int64_t& fileSize) {
  for (char c : field) {
    if (!IsDigit(c))
      return false;
  }
  fileSize = DecimalValue<int64_t>(field);
  return true;
}

std::array<uint8_t, 3> PackSettings(const PDFSettingsInfo& settings) {
  uint32_t amount = static_cast<uint32_t>(settings.amount);
  uint8_t flags = (IsSet(settings.optionB) ? 0x10 : 0) | (IsSet(settings.optionA) ? 0x20 : 0) |
                  (IsSet(settings.optionC) ? 0x40 : 0);
  return {static_cast<uint8_t>((settings.mode & 0x0F) | flags), static_cast<uint8_t>(amount & 0xFF),
          static_cast<uint8_t>((amount >> 8) & 0xFF)};
}

std::string HexEncode(const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

std::vector<uint8_t> HexDecode(const std::string& text) {
  std::vector<uint8_t> bytes;
  int high = -1;
  for (char c : text) {
    int digit = HexDigitValue(c);
    if (digit < 0)
      break;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<uint8_t>(high << 4 | digit));
      high = -1;
    }
  }
  return bytes;
}
