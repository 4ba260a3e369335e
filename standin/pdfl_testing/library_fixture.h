// Test fixture: a started library, its tables, a scratch directory, and
// guarded calls that turn a raise into its error code.
#ifndef PDFL_TESTING_LIBRARY_FIXTURE_H
#define PDFL_TESTING_LIBRARY_FIXTURE_H

#include <pthread.h>

#include <csetjmp>
#include <string>

#include <gtest/gtest.h>

#include "pdf_maker.h"
#include "pdfl/pdfl.h"
#include "pdfl_testing.h"

struct GuardFrame {
  std::jmp_buf context;
};

[[noreturn]] inline void RestoreGuard(void* frame) {
  std::longjmp(static_cast<GuardFrame*>(frame)->context, 1);
}

// Calls the operation at this selector of the table.
template <typename Proc, typename... Args>
auto Call(HFT table, int selector, Args... args) {
  return reinterpret_cast<Proc>(table[selector])(args...);
}

class LibraryTest : public testing::Test {
 protected:
  void SetUp() override {
    pdfl_testing::Reset();
    PDFLInitRecord record{};
    record.size = sizeof record;
    record.flags = kPDFLInitFlags;
    ASSERT_EQ(PDFLInit(&record), 0);
    core_ = PDFLGetCoreHFT();
    acroSupport_ = Table("AcroSupport");
    pdModel_ = Table("PDModel");
    asExtra_ = Table("ASExtra");
    pdMetadata_ = Table("PDMetadata");
  }

  void TearDown() override {
    if (!ended_)
      Call<PDFLTermProc>(Table("PDFLibrary"), kPDFLTermSel);
    pdfl_testing::Reset();
  }

  HFT Table(const char* name) {
    ASAtom atom = Call<ASAtomFromStringProc>(core_, kASAtomFromStringSel, name);
    return Call<ASExtensionMgrGetHFTProc>(core_, kASExtensionMgrGetHFTSel, atom, 0x60000);
  }

  // Runs body inside an exception frame; the raised code, or 0. The body
  // must hold nothing with a destructor: a raise jumps over it.
  template <typename Body>
  ASErrorCode Guarded(Body body) {
    GuardFrame frame;
    Call<ASPushExceptionFrameProc>(core_, kASPushExceptionFrameSel, &frame, RestoreGuard);
    if (setjmp(frame.context) == 0) {
      body();
      Call<ASPopExceptionFrameProc>(core_, kASPopExceptionFrameSel);
      return 0;
    }
    Call<ASPopExceptionFrameProc>(core_, kASPopExceptionFrameSel);
    return Call<ASGetExceptionErrorCodeProc>(core_, kASGetExceptionErrorCodeSel);
  }

  std::string Path(const std::string& name) const { return scratch_.Path(name); }

  ASPathName MakePath(const std::string& path) {
    std::u16string units = pdf_maker::ToUtf16(path);
    ASFileSys fileSys = Call<ASGetDefaultFileSysProc>(acroSupport_, kASGetDefaultFileSysSel);
    ASAtom type = Call<ASAtomFromStringProc>(core_, kASAtomFromStringSel, "WinUnicodePath");
    return Call<ASFileSysCreatePathNameProc>(acroSupport_, kASFileSysCreatePathNameSel, fileSys,
                                             type, units.c_str(), nullptr);
  }

  void ReleasePath(ASPathName path) {
    ASFileSys fileSys = Call<ASGetDefaultFileSysProc>(acroSupport_, kASGetDefaultFileSysSel);
    Call<ASFileSysReleasePathProc>(acroSupport_, kASFileSysReleasePathSel, fileSys, path);
  }

  // Opens the file; null with the raised code in *code when it raises.
  PDDoc Open(const std::string& path, ASErrorCode* code = nullptr) {
    ASPathName pathName = MakePath(path);
    PDDoc doc = nullptr;
    ASErrorCode raised = Guarded(
        [&] { doc = Call<PDDocOpenProc>(pdModel_, kPDDocOpenSel, pathName, nullptr, nullptr, 1); });
    ReleasePath(pathName);
    if (code)
      *code = raised;
    return raised ? nullptr : doc;
  }

  void Close(PDDoc doc) { Call<PDDocCloseProc>(pdModel_, kPDDocCloseSel, doc); }

  ASText Text(const std::string& utf8) {
    return Call<ASTextFromBytesProc>(asExtra_, kASTextFromBytesSel, utf8.c_str(), 0);
  }
  std::string Utf8(ASText text) {
    return Call<ASTextGetBytesProc>(asExtra_, kASTextGetBytesSel, text, 0);
  }
  void Destroy(ASText text) { Call<ASTextDestroyProc>(asExtra_, kASTextDestroySel, text); }

  std::string Info(PDDoc doc, const char* key) {
    int32_t length = Call<PDDocGetInfoProc>(pdModel_, kPDDocGetInfoSel, doc, key, nullptr, 0);
    std::string value(length, '\0');
    Call<PDDocGetInfoProc>(pdModel_, kPDDocGetInfoSel, doc, key, value.data(), length + 1);
    return value;
  }

  // Saves with the record's version fields set to major.minor; the raised
  // code, or 0.
  ASErrorCode Save(PDDoc doc, const std::string& path, uint32_t flags, uint32_t flags2,
                   int major = 1, int minor = 7) {
    PDDocSaveParams params{};
    params.size = sizeof params;
    params.saveFlags = flags;
    params.newPath = MakePath(path);
    params.majorVersion = static_cast<uint16_t>(major);
    params.minorVersion = static_cast<uint16_t>(minor);
    params.setVersion = 1;
    params.saveFlags2 = flags2;
    ASErrorCode code = Guarded(
        [&] { Call<PDDocSaveWithParamsProc>(pdModel_, kPDDocSaveWithParamsSel, doc, &params); });
    ReleasePath(params.newPath);
    return code;
  }

  // The document's packet as UTF-8; the raised code in *code.
  std::string Packet(PDDoc doc, ASErrorCode* code = nullptr) {
    ASText packet = nullptr;
    ASErrorCode raised = Guarded(
        [&] { packet = Call<PDDocGetXAPMetadataProc>(pdMetadata_, kPDDocGetXAPMetadataSel, doc); });
    if (code)
      *code = raised;
    std::string utf8 = packet ? Utf8(packet) : std::string();
    Destroy(packet);
    return utf8;
  }

  HFT core_ = nullptr;
  HFT acroSupport_ = nullptr;
  HFT pdModel_ = nullptr;
  HFT asExtra_ = nullptr;
  HFT pdMetadata_ = nullptr;
  pdf_maker::ScratchDirectory scratch_;
  bool ended_ = false;
};

#endif
