#include "pdfl_calls.h"

#include "os/table_block.h"

thread_local uint32_t TableBlockIndex = 0;

namespace {

// The entry at `selector` of the table in `slot`, as the operation's type.
template <typename Proc>
Proc Entry(int slot, int selector) {
  HFT table = reinterpret_cast<HFT>(CurrentTableBlock()->slots[slot]);
  return reinterpret_cast<Proc>(table[selector]);
}

}  // namespace

void RestoreFromRaise(void* frame) {
  std::longjmp(static_cast<ExceptionFrame*>(frame)->context, 1);
}

void EndLibrary() {
  ExceptionFrame frame;
  ASPushExceptionFrame(&frame, RestoreFromRaise);
  if (setjmp(frame.context) == 0)
    PDFLTerm();
  else
    ASPopExceptionFrame();
}

ASText Texts::Keep(ASText text) {
  texts_[count_++] = text;
  return text;
}

bool Texts::Release() {
  bool released = true;
  for (int i = 0; i < count_; ++i) {
    ASText text = texts_[i];
    if (text && !Guarded([&] { ASTextDestroy(text); }))
      released = false;
  }
  count_ = 0;
  return released;
}

void ASPushExceptionFrame(void* frame, ASRestoreProc restore) {
  Entry<ASPushExceptionFrameProc>(kCoreSlot, kASPushExceptionFrameSel)(frame, restore);
}

void ASPopExceptionFrame() {
  Entry<ASPopExceptionFrameProc>(kCoreSlot, kASPopExceptionFrameSel)();
}

ASErrorCode ASGetExceptionErrorCode() {
  return Entry<ASGetExceptionErrorCodeProc>(kCoreSlot, kASGetExceptionErrorCodeSel)();
}

ASAtom ASAtomFromString(const char* name) {
  return Entry<ASAtomFromStringProc>(kCoreSlot, kASAtomFromStringSel)(name);
}

const char* ASAtomGetString(ASAtom atom) {
  return Entry<ASAtomGetStringProc>(kCoreSlot, kASAtomGetStringSel)(atom);
}

HFT ASExtensionMgrGetHFT(ASAtom name, uint32_t version) {
  return Entry<ASExtensionMgrGetHFTProc>(kCoreSlot, kASExtensionMgrGetHFTSel)(name, version);
}

ASFileSys ASGetDefaultFileSys() {
  return Entry<ASGetDefaultFileSysProc>(kAcroSupportSlot, kASGetDefaultFileSysSel)();
}

ASPathName ASFileSysCreatePathName(ASFileSys fileSys, ASAtom pathType, const void* pathSpec,
                                   const void* mustBeZero) {
  return Entry<ASFileSysCreatePathNameProc>(kAcroSupportSlot, kASFileSysCreatePathNameSel)(
      fileSys, pathType, pathSpec, mustBeZero);
}

void ASFileSysReleasePath(ASFileSys fileSys, ASPathName path) {
  Entry<ASFileSysReleasePathProc>(kAcroSupportSlot, kASFileSysReleasePathSel)(fileSys, path);
}

uint32_t HFTGetVersion(HFT table) {
  return Entry<HFTGetVersionProc>(kAcroSupportSlot, kHFTGetVersionSel)(table);
}

void PDFLTerm() {
  Entry<PDFLTermProc>(kPDFLibrarySlot, kPDFLTermSel)();
}

PDDoc PDDocOpen(ASPathName path, ASFileSys fileSys, void* authProc, int32_t doRepair) {
  return Entry<PDDocOpenProc>(kPDModelSlot, kPDDocOpenSel)(path, fileSys, authProc, doRepair);
}

void PDDocClose(PDDoc doc) {
  Entry<PDDocCloseProc>(kPDModelSlot, kPDDocCloseSel)(doc);
}

int32_t PDDocGetFlags(PDDoc doc) {
  return Entry<PDDocGetFlagsProc>(kPDModelSlot, kPDDocGetFlagsSel)(doc);
}

void PDDocGetVersion(PDDoc doc, int16_t* major, int16_t* minor) {
  Entry<PDDocGetVersionProc>(kPDModelSlot, kPDDocGetVersionSel)(doc, major, minor);
}

int32_t PDDocGetInfo(PDDoc doc, const char* key, char* buffer, int32_t size) {
  return Entry<PDDocGetInfoProc>(kPDModelSlot, kPDDocGetInfoSel)(doc, key, buffer, size);
}

void PDDocSetInfo(PDDoc doc, const char* key, const char* value, int32_t length) {
  Entry<PDDocSetInfoProc>(kPDModelSlot, kPDDocSetInfoSel)(doc, key, value, length);
}

void PDDocSaveWithParams(PDDoc doc, PDDocSaveParams* params) {
  Entry<PDDocSaveWithParamsProc>(kPDModelSlot, kPDDocSaveWithParamsSel)(doc, params);
}

int16_t PDDocPermRequest(PDDoc doc, int32_t objectKind, int32_t operation, const void* authData) {
  return Entry<PDDocPermRequestProc>(kPDModelSlot, kPDDocPermRequestSel)(doc, objectKind, operation,
                                                                         authData);
}

ASAtom PDDocGetTrapped(PDDoc doc) {
  return Entry<PDDocGetTrappedProc>(kPDModelSlot, kPDDocGetTrappedSel)(doc);
}

void PDDocSetTrapped(PDDoc doc, ASAtom value) {
  Entry<PDDocSetTrappedProc>(kPDModelSlot, kPDDocSetTrappedSel)(doc, value);
}

ASText PDDocGetXAPMetadata(PDDoc doc) {
  return Entry<PDDocGetXAPMetadataProc>(kPDMetadataSlot, kPDDocGetXAPMetadataSel)(doc);
}

void PDDocSetXAPMetadata(PDDoc doc, ASText packet) {
  Entry<PDDocSetXAPMetadataProc>(kPDMetadataSlot, kPDDocSetXAPMetadataSel)(doc, packet);
}

ASText PDDocGetXAPMetadataProperty(PDDoc doc, ASText namespaceURI, ASText name) {
  return Entry<PDDocGetXAPMetadataPropertyProc>(kPDMetadataSlot, kPDDocGetXAPMetadataPropertySel)(
      doc, namespaceURI, name);
}

void PDDocSetXAPMetadataProperty(PDDoc doc, ASText namespaceURI, ASText prefix, ASText name,
                                 ASText value) {
  Entry<PDDocSetXAPMetadataPropertyProc>(kPDMetadataSlot, kPDDocSetXAPMetadataPropertySel)(
      doc, namespaceURI, prefix, name, value);
}

ASText ASTextFromUnicode(const uint16_t* units, int32_t format) {
  return Entry<ASTextFromUnicodeProc>(kASExtraSlot, kASTextFromUnicodeSel)(units, format);
}

ASText ASTextFromBytes(const char* text, int32_t reserved) {
  return Entry<ASTextFromBytesProc>(kASExtraSlot, kASTextFromBytesSel)(text, reserved);
}

ASText ASTextFromScriptBytes(const char* text, int32_t reserved) {
  return Entry<ASTextFromBytesProc>(kASExtraSlot, kASTextFromScriptBytesSel)(text, reserved);
}

void ASTextDestroy(ASText text) {
  Entry<ASTextDestroyProc>(kASExtraSlot, kASTextDestroySel)(text);
}

const uint16_t* ASTextGetUnicode(ASText text) {
  return Entry<ASTextGetUnicodeProc>(kASExtraSlot, kASTextGetUnicodeSel)(text);
}

const char* ASTextGetBytes(ASText text, int32_t reserved) {
  return Entry<ASTextGetBytesProc>(kASExtraSlot, kASTextGetBytesSel)(text, reserved);
}

uint16_t ASTextIsEmpty(ASText text) {
  return Entry<ASTextIsEmptyProc>(kASExtraSlot, kASTextIsEmptySel)(text);
}
