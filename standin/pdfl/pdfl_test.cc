#include <fstream>
#include <thread>

#include "library_fixture.h"

namespace {

const char* const kTableNames[] = {"Core",           "AcroSupport",  "PDFLibrary",   "Cos",
                                   "PDModel",        "PDFEditRead",  "PDFEditWrite", "PDSysFont",
                                   "PagePDEContent", "PDSWrite",     "PDSRead",      "ASExtra",
                                   "PDMetadata",     "AcroColorHFT", "DLExtras"};

using TableTest = LibraryTest;

HFT GetTable(HFT core, const char* name, uint32_t version) {
  ASAtom atom = Call<ASAtomFromStringProc>(core, kASAtomFromStringSel, name);
  return Call<ASExtensionMgrGetHFTProc>(core, kASExtensionMgrGetHFTSel, atom, version);
}

TEST_F(TableTest, EveryTableIsOfferedAtItsVersion) {
  for (const char* name : kTableNames) {
    SCOPED_TRACE(name);
    HFT table = GetTable(core_, name, 0xA0000);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(GetTable(core_, name, 0xA0001), nullptr);
    EXPECT_EQ(GetTable(core_, name, 0x80000000u), nullptr);  // a beta version is higher
    EXPECT_EQ(Call<HFTGetVersionProc>(acroSupport_, kHFTGetVersionSel, table), 0xA0000u);
  }
  EXPECT_EQ(GetTable(core_, "Core", 0x20000), PDFLGetCoreHFT());
  EXPECT_EQ(GetTable(core_, "NoSuchTable", 0), nullptr);
  HFTEntry notATable[1] = {};
  EXPECT_EQ(Call<HFTGetVersionProc>(acroSupport_, kHFTGetVersionSel, notATable), 0xFFFFFFFFu);

  const struct {
    HFT table;
    std::vector<int> selectors;
  } operations[] = {
      {core_, {2, 3, 4, 5, 7, 10}},
      {acroSupport_, {21, 25, 52, 103}},
      {Table("PDFLibrary"), {38}},
      {pdModel_, {66, 71, 74, 81, 104, 105, 297, 361, 512, 513}},
      {asExtra_, {4, 6, 8, 12, 21, 25, 90}},
      {pdMetadata_, {1, 2, 8, 9}},
  };
  for (const auto& table : operations)
    for (int selector : table.selectors)
      EXPECT_NE(table.table[selector], nullptr) << selector;
}

TEST_F(TableTest, TablesCanBeOfferedOtherwise) {
  pdfl_testing::OfferTable("Core", 0x50000);
  pdfl_testing::HideTableVersion("Core");
  pdfl_testing::OfferTable("DLExtras", 0x90000);
  pdfl_testing::OfferTable("AcroSupport", 0);
  EXPECT_EQ(GetTable(core_, "Core", 0x50000), PDFLGetCoreHFT());
  EXPECT_EQ(GetTable(core_, "Core", 0x50001), nullptr);
  EXPECT_EQ(Call<HFTGetVersionProc>(acroSupport_, kHFTGetVersionSel, core_), 0xFFFFFFFFu);
  HFT dlExtras = GetTable(core_, "DLExtras", 0x40000);
  EXPECT_EQ(Call<HFTGetVersionProc>(acroSupport_, kHFTGetVersionSel, dlExtras), 0x90000u);
  EXPECT_EQ(GetTable(core_, "DLExtras", 0x90001), nullptr);
  EXPECT_EQ(GetTable(core_, "AcroSupport", 0), nullptr);
  EXPECT_EQ(Call<HFTGetVersionProc>(acroSupport_, kHFTGetVersionSel, acroSupport_), 0xFFFFFFFFu);
}

TEST(StartTest, StartEndAndTheirControls) {
  pdfl_testing::Reset();
  EXPECT_FALSE(pdfl_testing::LastInitRecord().present);
  const PDFLPathChar font[] = u"/exe/Resource/Font";
  const PDFLPathChar cmap[] = u"/exe/Resource/CMap";
  const PDFLPathChar* fonts[2] = {font, cmap};
  PDFLInitRecord record{};
  record.size = sizeof record;
  record.flags = kPDFLInitFlags;
  record.fontDirList = fonts;
  record.fontDirCount = 2;
  record.cmapDirectory = cmap;

  pdfl_testing::FailInit(0x40000001);
  EXPECT_EQ(PDFLInit(&record), 0x40000001);
  pdfl_testing::InitRecordCopy copy = pdfl_testing::LastInitRecord();
  EXPECT_TRUE(copy.present);
  EXPECT_EQ(copy.size, sizeof record);
  EXPECT_EQ(copy.flags, 0x40u);
  EXPECT_EQ(copy.fontDirCount, 2);
  EXPECT_EQ(copy.fontDirs, (std::vector<std::u16string>{font, cmap}));
  EXPECT_TRUE(copy.hasCMapDirectory);
  EXPECT_EQ(copy.cmapDirectory, cmap);
  EXPECT_FALSE(copy.hasUnicodeDirectory);
  EXPECT_EQ(pdfl_testing::GetCounts().starts, 0);

  pdfl_testing::FailInit(0);
  record.fontDirCount = -1;
  EXPECT_EQ(PDFLInit(&record), 0);
  EXPECT_TRUE(pdfl_testing::LastInitRecord().fontDirs.empty());
  EXPECT_EQ(pdfl_testing::GetCounts().starts, 1);

  uint32_t index = 0;
  pdfl_testing::FailThreadData(true);
  EXPECT_EQ(PDFLInitThreadLocalData(&index, 220), 0);
  pdfl_testing::FailThreadData(false);
  ASSERT_NE(PDFLInitThreadLocalData(&index, 220), 0);
  auto* block = static_cast<unsigned char*>(pthread_getspecific(static_cast<pthread_key_t>(index)));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::count(block, block + 220, 0), 220);

  Call<PDFLTermProc>(GetTable(PDFLGetCoreHFT(), "PDFLibrary", 0), kPDFLTermSel);
  EXPECT_EQ(pdfl_testing::GetCounts().ends, 1);
  pdfl_testing::Reset();
  EXPECT_EQ(pdfl_testing::GetCounts().starts, 0);
}

using ErrorTest = LibraryTest;

TEST_F(ErrorTest, RaiseInHitsTheChosenCallOnly) {
  auto atom = [&](ASAtom* out) {
    return Guarded([&] { *out = Call<ASAtomFromStringProc>(core_, kASAtomFromStringSel, "x"); });
  };
  ASAtom a = 0, b = 0, c = 0;
  pdfl_testing::RaiseIn("ASAtomFromString", 1, kPDFLErrBadPDF);
  EXPECT_EQ(atom(&a), 0);
  EXPECT_EQ(atom(&b), kPDFLErrBadPDF);
  EXPECT_EQ(atom(&c), 0);
  EXPECT_EQ(a, c);
  EXPECT_EQ(b, 0u);

  // Nested frames: the raise goes to the innermost.
  ASErrorCode inner = 0;
  EXPECT_EQ(Guarded([&] {
              inner = Guarded([&] { Call<ASAtomGetStringProc>(core_, kASAtomGetStringSel, 0); });
            }),
            0);
  EXPECT_EQ(inner, kPDFLErrBadParameter);
}

TEST_F(ErrorTest, RaiseWithoutAFrameStopsWithAMessage) {
  EXPECT_DEATH(Call<ASAtomGetStringProc>(core_, kASAtomGetStringSel, 0xFFFFFF),
               "outside any exception frame");
}

// An end releases what its own thread still has open, and leaves the
// documents of a thread still at work.
TEST_F(ErrorTest, EndReleasesWhatItsThreadStillHasOpen) {
  pdf_maker::WritePdf(Path("a.pdf"), pdf_maker::PdfOptions());
  PDDoc doc = Open(Path("a.pdf"));
  ASSERT_NE(doc, nullptr);
  PDDoc other = nullptr;
  std::thread([&] {
    PDFLInitRecord record{};
    record.size = sizeof record;
    record.flags = kPDFLInitFlags;
    ASSERT_EQ(PDFLInit(&record), 0);
    other = Open(Path("a.pdf"));
    Call<PDFLTermProc>(Table("PDFLibrary"), kPDFLTermSel);
  }).join();
  ASSERT_NE(other, nullptr);
  auto flags = [&](PDDoc d) { Call<PDDocGetFlagsProc>(pdModel_, kPDDocGetFlagsSel, d); };
  EXPECT_EQ(Guarded([&] { flags(doc); }), 0);
  EXPECT_EQ(Guarded([&] { flags(other); }), kPDFLErrBadParameter);
  Text("left over");
  MakePath(Path("a.pdf"));
  Call<PDFLTermProc>(Table("PDFLibrary"), kPDFLTermSel);
  ended_ = true;
  EXPECT_EQ(pdfl_testing::GetCounts().ends, 2);
  EXPECT_EQ(pdfl_testing::GetCounts().closes, 0);
}

using TextTest = LibraryTest;

TEST_F(TextTest, AtomsAndTexts) {
  ASAtom a = Call<ASAtomFromStringProc>(core_, kASAtomFromStringSel, "Name");
  EXPECT_NE(a, 0u);
  EXPECT_EQ(Call<ASAtomFromStringProc>(core_, kASAtomFromStringSel, "Name"), a);
  EXPECT_NE(Call<ASAtomFromStringProc>(core_, kASAtomFromStringSel, "name"), a);
  EXPECT_STREQ(Call<ASAtomGetStringProc>(core_, kASAtomGetStringSel, a), "Name");

  const uint16_t units[] = {'a', 0xE9, 0xD83D, 0xDE00, 0};
  ASText text =
      Call<ASTextFromUnicodeProc>(asExtra_, kASTextFromUnicodeSel, units, kASTextUTF16HostOrder);
  EXPECT_EQ(Utf8(text), "a\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(
                Call<ASTextGetUnicodeProc>(asExtra_, kASTextGetUnicodeSel, text))),
            u"a\u00e9\U0001F600");
  EXPECT_EQ(Call<ASTextIsEmptyProc>(asExtra_, kASTextIsEmptySel, text), 0);
  Destroy(text);

  ASText script = Call<ASTextFromBytesProc>(asExtra_, kASTextFromScriptBytesSel, "\xC3\xA9\xFF", 0);
  EXPECT_EQ(Utf8(script), "\xC3\xA9\xEF\xBF\xBD");  // a byte that is no UTF-8 becomes U+FFFD
  ASText empty = Text("");
  EXPECT_EQ(Call<ASTextIsEmptyProc>(asExtra_, kASTextIsEmptySel, empty), 1);
  Destroy(script);
  Destroy(empty);
  Destroy(nullptr);
  EXPECT_EQ(Guarded([&] { Destroy(empty); }), kPDFLErrBadParameter);
}

TEST_F(TextTest, PathsAreUtf16AndOnlyWinUnicodePath) {
  std::string name = Path("caf\xC3\xA9 \xF0\x9F\x98\x80.pdf");
  pdf_maker::WritePdf(name, pdf_maker::PdfOptions());
  PDDoc doc = Open(name);
  EXPECT_NE(doc, nullptr);
  Close(doc);

  ASFileSys fileSys = Call<ASGetDefaultFileSysProc>(acroSupport_, kASGetDefaultFileSysSel);
  ASSERT_NE(fileSys, nullptr);
  ASAtom unicode = Call<ASAtomFromStringProc>(core_, kASAtomFromStringSel, "WinUnicodePath");
  ASAtom other = Call<ASAtomFromStringProc>(core_, kASAtomFromStringSel, "Cstring");
  const PDFLPathChar unpaired[] = {u'/', 0xD800, u'a', 0};
  const PDFLPathChar good[] = u"/tmp/x.pdf";
  const struct {
    ASAtom type;
    const PDFLPathChar* pathText;
  } bad[] = {{unicode, unpaired}, {other, good}, {unicode, u""}, {unicode, nullptr}};
  for (const auto& c : bad) {
    ASPathName path = nullptr;
    EXPECT_EQ(Guarded([&] {
                path = Call<ASFileSysCreatePathNameProc>(acroSupport_, kASFileSysCreatePathNameSel,
                                                         fileSys, c.type, c.pathText, nullptr);
              }),
              kPDFLErrBadParameter);
    EXPECT_EQ(path, nullptr);
  }
}

}  // namespace
