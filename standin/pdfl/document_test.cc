#include <sys/resource.h>

#include <cstdlib>
#include <fstream>

#include "library_fixture.h"

namespace {

using DocumentTest = LibraryTest;

TEST_F(DocumentTest, OpensEveryKindOfPdf) {
  struct Case {
    const char* name;
    pdf_maker::PdfOptions options;
    int32_t flags;
    int16_t major, minor;
  };
  pdf_maker::PdfOptions plain, linearized, objectStreams, old, damaged, locked, two;
  linearized.linearize = true;
  objectStreams.objectStreams = true;
  objectStreams.version = "1.5";
  old.version = "1.4";
  damaged.damageXref = true;
  damaged.pages = 3;
  locked.encryptNoModify = true;
  two.version = "2.0";
  const Case cases[] = {
      {"plain", plain, 0, 1, 7},
      {"linearized", linearized, kPDDocIsLinearized, 1, 7},
      {"objstm", objectStreams, 0, 1, 5},
      {"old", old, 0, 1, 4},
      {"damaged", damaged, 0, 1, 7},
      {"locked", locked, 0, 1, 7},
      {"two", two, 0, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    pdf_maker::WritePdf(Path(c.name), c.options);
    ASErrorCode code = 0;
    PDDoc doc = Open(Path(c.name), &code);
    ASSERT_NE(doc, nullptr) << code;
    EXPECT_EQ(Call<PDDocGetFlagsProc>(pdModel_, kPDDocGetFlagsSel, doc), c.flags);
    int16_t major = 0, minor = 0;
    Call<PDDocGetVersionProc>(pdModel_, kPDDocGetVersionSel, doc, &major, &minor);
    EXPECT_EQ(major, c.major);
    EXPECT_EQ(minor, c.minor);
    Close(doc);
  }
  EXPECT_EQ(pdfl_testing::GetCounts().opens, 7);
  EXPECT_EQ(pdfl_testing::GetCounts().closes, 7);
}

TEST_F(DocumentTest, MissingFilesAndNonPdfsRaise) {
  std::ofstream(Path("text.pdf")) << "this is no PDF at all\n";
  std::ofstream(Path("empty.pdf"));
  const struct {
    std::string path;
    ASErrorCode code;
  } cases[] = {
      {Path("missing.pdf"), kPDFLErrFileOpen},
      {Path("text.pdf"), kPDFLErrBadPDF},
      {Path("empty.pdf"), kPDFLErrBadPDF},
      {scratch_.path(), kPDFLErrFileOpen},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ASErrorCode code = 0;
    EXPECT_EQ(Open(c.path, &code), nullptr);
    EXPECT_EQ(code, c.code);
  }
  EXPECT_EQ(pdfl_testing::GetCounts().opens, 0);
}

// Readers look for "%PDF-" in the first 1024 bytes alone; a file without
// it there is no PDF, whatever follows, and no repair reads on.
TEST_F(DocumentTest, TheHeaderIsInTheFirst1024Bytes) {
  pdf_maker::WritePdf(Path("plain.pdf"), pdf_maker::PdfOptions());
  std::string pdf = pdf_maker::ReadFile(Path("plain.pdf"));
  std::ofstream(Path("inside.pdf")) << std::string(1024 - 5, 'x') << pdf;
  std::ofstream(Path("beyond.pdf")) << std::string(1024 - 4, 'x') << pdf;
  PDDoc inside = Open(Path("inside.pdf"));
  EXPECT_NE(inside, nullptr);
  Close(inside);
  ASErrorCode code = 0;
  EXPECT_EQ(Open(Path("beyond.pdf"), &code), nullptr);
  EXPECT_EQ(code, kPDFLErrBadPDF);
}

// A file that lost its cross-reference table and trailer is repaired in the
// memory its objects take, not in memory for each of its bytes: here 32 MB of
// stream data, opened with 24 MB to spare.
TEST_F(DocumentTest, ARepairTakesNoMemoryForTheFilesBytes) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "AddressSanitizer's shadow memory counts against the data limit";
#endif
  const std::string data(32 << 20, 'x');
  std::ofstream(Path("cut.pdf"))
      << "%PDF-1.7\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
      << "2 0 obj\n<< /Type /Pages /Kids [3 0 R] /Count 1 >>\nendobj\n"
      << "3 0 obj\n<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>\n"
      << "endobj\n4 0 obj\n<< /Length " << data.size() << " >>\nstream\n"
      << data << "\nendstream\nendobj\n";
  auto openWithLittleMemory = [&] {
    std::ifstream status("/proc/self/status");
    long dataKb = 0;
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("VmData:", 0) == 0)
        dataKb = std::stol(line.substr(7));
    }
    rlimit limit = {static_cast<rlim_t>((dataKb << 10) + (24 << 20)), RLIM_INFINITY};
    if (dataKb == 0 || setrlimit(RLIMIT_DATA, &limit) != 0)
      std::_Exit(2);
    std::_Exit(Open(Path("cut.pdf")) ? 0 : 1);
  };
  EXPECT_EXIT(openWithLittleMemory(), testing::ExitedWithCode(0), "");
}

TEST_F(DocumentTest, InfoIsReadSetAndEmptied) {
  pdf_maker::PdfOptions options;
  options.info = {{"Title", "Caf\xE9"}};
  pdf_maker::WritePdf(Path("a.pdf"), options);
  pdf_maker::WritePdf(Path("bare.pdf"), pdf_maker::PdfOptions());
  PDDoc doc = Open(Path("a.pdf")), bare = Open(Path("bare.pdf"));
  ASSERT_NE(doc, nullptr);
  ASSERT_NE(bare, nullptr);

  EXPECT_EQ(Info(doc, "Title"), "Caf\xE9");  // the string's own bytes
  EXPECT_EQ(Info(doc, "Author"), "");
  EXPECT_EQ(Info(bare, "Title"), "");
  char small[3];
  EXPECT_EQ(Call<PDDocGetInfoProc>(pdModel_, kPDDocGetInfoSel, doc, "Title", small, 3), 4);
  EXPECT_STREQ(small, "Ca");

  auto set = [&](PDDoc d, const char* key, const char* value, int32_t length) {
    return Guarded(
        [&] { Call<PDDocSetInfoProc>(pdModel_, kPDDocSetInfoSel, d, key, value, length); });
  };
  EXPECT_EQ(set(bare, "vtrlTag", "S1-2-3", 6), 0);
  EXPECT_EQ(Info(bare, "vtrlTag"), "S1-2-3");
  EXPECT_EQ(set(doc, "Title", "x", 0), 0);
  EXPECT_EQ(Info(doc, "Title"), "");
  EXPECT_EQ(set(doc, "Title", nullptr, 2), kPDFLErrBadParameter);
  EXPECT_EQ(set(doc, nullptr, "x", 1), kPDFLErrBadParameter);

  EXPECT_EQ(Save(doc, Path("a.pdf"), 0xA1, 0x52), 0);
  EXPECT_EQ(Save(bare, Path("bare.pdf"), 0xA1, 0x52), 0);
  Close(doc);
  Close(bare);
  EXPECT_EQ(pdf_maker::InfoValue(Path("a.pdf"), "Title"), "");
  EXPECT_EQ(pdf_maker::InfoValue(Path("bare.pdf"), "vtrlTag"), "S1-2-3");
}

TEST_F(DocumentTest, TrappedIsTheInfoName) {
  pdf_maker::WritePdf(Path("a.pdf"), pdf_maker::PdfOptions());
  PDDoc doc = Open(Path("a.pdf"));
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(Call<PDDocGetTrappedProc>(pdModel_, kPDDocGetTrappedSel, doc), 0u);
  ASAtom isTrue = Call<ASAtomFromStringProc>(core_, kASAtomFromStringSel, "True");
  Call<PDDocSetTrappedProc>(pdModel_, kPDDocSetTrappedSel, doc, isTrue);
  EXPECT_EQ(Call<PDDocGetTrappedProc>(pdModel_, kPDDocGetTrappedSel, doc), isTrue);
  EXPECT_EQ(Save(doc, Path("a.pdf"), 0xA1, 0x52), 0);
  Close(doc);

  doc = Open(Path("a.pdf"));
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(Call<PDDocGetTrappedProc>(pdModel_, kPDDocGetTrappedSel, doc), isTrue);
  Call<PDDocSetTrappedProc>(pdModel_, kPDDocSetTrappedSel, doc, 0);
  EXPECT_EQ(Call<PDDocGetTrappedProc>(pdModel_, kPDDocGetTrappedSel, doc), 0u);
  Close(doc);
}

TEST_F(DocumentTest, NoModifyEncryptionDeniesRequestsAndChanges) {
  pdf_maker::PdfOptions options;
  options.encryptNoModify = true;
  options.info = {{"Title", "secret"}};
  pdf_maker::WritePdf(Path("locked.pdf"), options);
  pdf_maker::WritePdf(Path("open.pdf"), pdf_maker::PdfOptions());
  PDDoc locked = Open(Path("locked.pdf")), open = Open(Path("open.pdf"));
  ASSERT_NE(locked, nullptr);
  ASSERT_NE(open, nullptr);
  auto request = [&](PDDoc doc, int32_t operation) {
    return Call<PDDocPermRequestProc>(pdModel_, kPDDocPermRequestSel, doc, kPDPermDocument,
                                      operation, "");
  };
  EXPECT_EQ(request(locked, kPDPermModify), -1);
  EXPECT_EQ(request(locked, kPDPermModifyMetadata), -1);
  EXPECT_EQ(request(open, kPDPermModify), 0);
  EXPECT_EQ(request(open, kPDPermModifyMetadata), 0);
  EXPECT_EQ(Info(locked, "Title"), "secret");
  EXPECT_EQ(
      Guarded([&] { Call<PDDocSetInfoProc>(pdModel_, kPDDocSetInfoSel, locked, "Title", "x", 1); }),
      kPDFLErrPermission);

  pdfl_testing::DenyPermission(kPDPermModifyMetadata);
  EXPECT_EQ(request(open, kPDPermModify), 0);
  EXPECT_EQ(request(open, kPDPermModifyMetadata), -1);
  Close(locked);
  Close(open);
}

}  // namespace
