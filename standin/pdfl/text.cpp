#include "text.h"

#include "errors.h"
#include "handles.h"
#include "operations.h"
#include "utf8.h"

namespace pdfl {

namespace {

const char32_t kReplacement = 0xFFFD;

Handles<PDFLText>& Texts() {
  static Handles<PDFLText> texts;
  return texts;
}

ASText FromBytes(const char* text) {
  if (!text)
    Fail(kPDFLErrBadParameter);
  return NewText(Utf8ToUtf16(text));
}

}  // namespace

std::u16string Utf8ToUtf16(const std::string& bytes) {
  std::u16string out;
  for (size_t i = 0; i < bytes.size();) {
    char32_t c;
    size_t length = utf8::DecodeOne(bytes, i, c);
    utf8::AppendUnit(out, length ? c : kReplacement);
    i += length ? length : 1;
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& units) {
  std::string out;
  for (size_t i = 0; i < units.size();) {
    char32_t c = utf8::NextCodePoint(units, i);
    utf8::AppendUtf8(out, c >= 0xD800 && c <= 0xDFFF ? kReplacement : c);
  }
  return out;
}

ASText NewText(const std::u16string& units) {
  auto text = std::make_unique<PDFLText>();
  text->units = units;
  return Texts().Add(std::move(text));
}

std::string TextUtf8(ASText text) {
  return Utf16ToUtf8(Texts().Get(text).units);
}

void DestroyThreadTexts() {
  Texts().ClearThread();
}

ASText ASTextFromUnicode(const uint16_t* units, int32_t format) {
  return Entry("ASTextFromUnicode", [&] {
    if (!units || format != kASTextUTF16HostOrder)
      Fail(kPDFLErrBadParameter);
    return NewText(reinterpret_cast<const char16_t*>(units));
  });
}

ASText ASTextFromBytes(const char* text, int32_t) {
  return Entry("ASTextFromBytes", [&] { return FromBytes(text); });
}

ASText ASTextFromScriptBytes(const char* text, int32_t) {
  return Entry("ASTextFromScriptBytes", [&] { return FromBytes(text); });
}

void ASTextDestroy(ASText text) {
  Entry("ASTextDestroy", [&] {
    if (text)
      Texts().Remove(text);
  });
}

const uint16_t* ASTextGetUnicode(ASText text) {
  return Entry("ASTextGetUnicode",
               [&] { return reinterpret_cast<const uint16_t*>(Texts().Get(text).units.c_str()); });
}

const char* ASTextGetBytes(ASText text, int32_t) {
  return Entry("ASTextGetBytes", [&] {
    PDFLText& object = Texts().Get(text);
    object.utf8 = Utf16ToUtf8(object.units);
    return object.utf8.c_str();
  });
}

uint16_t ASTextIsEmpty(ASText text) {
  return Entry("ASTextIsEmpty",
               [&] { return static_cast<uint16_t>(Texts().Get(text).units.empty()); });
}

}  // namespace pdfl
