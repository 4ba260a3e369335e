#include "text.h"

#include "errors.h"
#include "handles.h"

namespace pdfl {

namespace {

const char32_t kReplacement = 0xFFFD;

Handles<PDFLText>& Texts() {
  static Handles<PDFLText> texts;
  return texts;
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c >= 0x10000) {
    out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  } else {
    out += static_cast<char16_t>(c);
  }
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Decodes one sequence at i and moves past it; a malformed one gives U+FFFD
// and moves one byte.
char32_t DecodeUtf8(const std::string& s, size_t& i) {
  unsigned char lead = s[i++];
  if (lead < 0x80)
    return lead;
  int extra = 0;
  char32_t c = 0, least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, c = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, c = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, c = lead & 0x07, least = 0x10000;
  } else {
    return kReplacement;
  }
  if (i + extra > s.size())
    return kReplacement;
  for (int k = 0; k < extra; ++k) {
    unsigned char next = s[i + k];
    if ((next & 0xC0) != 0x80)
      return kReplacement;
    c = (c << 6) | (next & 0x3F);
  }
  if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
    return kReplacement;
  i += extra;
  return c;
}

std::string Utf16ToUtf8(const std::u16string& units, bool strict) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      if (strict)
        Fail(kPDFLErrBadParameter);
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

ASText FromBytes(const char* text) {
  if (!text)
    Fail(kPDFLErrBadParameter);
  return NewText(Utf8ToUtf16(text));
}

}  // namespace

std::u16string Utf8ToUtf16(const std::string& utf8) {
  std::u16string out;
  for (size_t i = 0; i < utf8.size();)
    AppendUtf16(out, DecodeUtf8(utf8, i));
  return out;
}

std::string Utf16ToUtf8(const std::u16string& units) {
  return Utf16ToUtf8(units, false);
}

std::string Utf16ToUtf8Strict(const std::u16string& units) {
  return Utf16ToUtf8(units, true);
}

ASText NewText(const std::u16string& units) {
  auto text = std::make_unique<PDFLText>();
  text->units = units;
  return Texts().Add(std::move(text));
}

std::string TextUtf8(ASText text) {
  return Utf16ToUtf8(Texts().Get(text).units);
}

void DestroyAllTexts() {
  Texts().Clear();
}

ASText TextFromUnicode(const uint16_t* units, int32_t format) {
  return Entry("ASTextFromUnicode", [&] {
    if (!units || format != kASTextUTF16HostOrder)
      Fail(kPDFLErrBadParameter);
    return NewText(reinterpret_cast<const char16_t*>(units));
  });
}

ASText TextFromBytes(const char* text, int32_t) {
  return Entry("ASTextFromBytes", [&] { return FromBytes(text); });
}

ASText TextFromScriptBytes(const char* text, int32_t) {
  return Entry("ASTextFromScriptBytes", [&] { return FromBytes(text); });
}

void TextDestroy(ASText text) {
  Entry("ASTextDestroy", [&] {
    if (text)
      Texts().Remove(text);
  });
}

const uint16_t* TextGetUnicode(ASText text) {
  return Entry("ASTextGetUnicode", [&] {
    return reinterpret_cast<const uint16_t*>(Texts().Get(text).units.c_str());
  });
}

const char* TextGetBytes(ASText text, int32_t) {
  return Entry("ASTextGetBytes", [&] {
    PDFLText& object = Texts().Get(text);
    object.utf8 = Utf16ToUtf8(object.units);
    return object.utf8.c_str();
  });
}

uint16_t TextIsEmpty(ASText text) {
  return Entry("ASTextIsEmpty", [&] { return static_cast<uint16_t>(Texts().Get(text).units.empty()); });
}

}  // namespace pdfl
