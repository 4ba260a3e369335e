#include "vtpdf.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <fstream>

#include <filesystem>
#include <string>

#include "os/debug_line_testing.h"
#include "os/table_block.h"
#include "pdf_maker.h"
#include "pdfl_calls.h"
#include "pdfl_testing.h"

namespace fs = std::filesystem;

namespace {

std::u16string U16(const std::string& text) {
  return pdf_maker::ToUtf16(text);
}

class VTPDFTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pdfl_testing::Reset();
    debug_line_testing::ClearDebugLine();
  }

  std::string Path(const std::string& name) const { return scratch_.Path(name); }

  std::string WritePdf(const std::string& name, const pdf_maker::PdfOptions& options) {
    std::string path = Path(name);
    pdf_maker::WritePdf(path, options);
    return path;
  }

  pdf_maker::ScratchDirectory scratch_;
};

TEST_F(VTPDFTest, StartUpRecordNamesTheResourceDirectoriesBesideTheExecutable) {
  fs::path exeDir = fs::read_symlink("/proc/self/exe").parent_path();
  std::u16string resource = U16((exeDir / "Resource").string());
  fs::path font = exeDir / "Resource" / "Font";
  // Another run may have left the directory; only ours is removed again.
  bool madeFont = fs::create_directories(font);

  {
    VTPDF pdf;
    EXPECT_TRUE(pdf.libraryStarted);
    pdfl_testing::InitRecordCopy record = pdfl_testing::LastInitRecord();
    ASSERT_TRUE(record.present);
    EXPECT_EQ(sizeof(PDFLInitRecord), record.size);
    EXPECT_EQ(0x40u, record.flags);
    EXPECT_EQ(2, record.fontDirCount);
    ASSERT_EQ(2u, record.fontDirs.size());
    EXPECT_EQ(resource + u"/Font", record.fontDirs[0]);
    EXPECT_EQ(resource + u"/CMap", record.fontDirs[1]);
  }

  if (madeFont) {
    fs::remove(font);
    fs::remove(exeDir / "Resource");
    VTPDF pdf;
    pdfl_testing::InitRecordCopy record = pdfl_testing::LastInitRecord();
    EXPECT_EQ(1, record.fontDirCount);
    ASSERT_EQ(1u, record.fontDirs.size());
    EXPECT_EQ(resource + u"/CMap", record.fontDirs[0]);
    // Handed over although neither directory exists.
    ASSERT_TRUE(record.hasCMapDirectory);
    EXPECT_EQ(resource + u"/CMap", record.cmapDirectory);
    ASSERT_TRUE(record.hasUnicodeDirectory);
    EXPECT_EQ(resource + u"/Unicode", record.unicodeDirectory);
  }
}

TEST_F(VTPDFTest, StartsAndEndsTheLibraryOnce) {
  {
    VTPDF pdf;
    EXPECT_TRUE(pdf.libraryStarted);
    EXPECT_EQ(1, pdfl_testing::GetCounts().starts);
    EXPECT_EQ(0, pdfl_testing::GetCounts().ends);
  }
  EXPECT_EQ(1, pdfl_testing::GetCounts().ends);
  EXPECT_EQ("", debug_line_testing::LastDebugLine());
}

// A table the library lacks stops the start-up with a line naming it, and
// the library is then not ended.
TEST_F(VTPDFTest, MissingTableFailsTheStartUp) {
  const struct {
    const char* name;
    uint32_t offered;
    const char* line;
  } cases[] = {
      {"DLExtras", 0x90000, "failed on DLExtras version 90001\n"},
      {"AcroColorHFT", 0x70000, "failed on AcroColorHFT version 80000\n"},
      {"PDMetadata", 0, "failed on PDMetadata version 60000\n"},
      {"PDSysFont", 0x30000, "failed on PDSysFont version 40000\n"},
      {"PDFLibrary", 0x50001, "failed on PDFLibrary version 60000\n"},
      {"Core", 0x40005, "failed on Core version 50000\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    pdfl_testing::Reset();
    debug_line_testing::ClearDebugLine();
    pdfl_testing::OfferTable(c.name, c.offered);
    {
      VTPDF pdf;
      EXPECT_FALSE(pdf.libraryStarted);
      EXPECT_EQ(c.line, debug_line_testing::LastDebugLine());
    }
    EXPECT_EQ(1, pdfl_testing::GetCounts().starts);
    EXPECT_EQ(0, pdfl_testing::GetCounts().ends);
  }
}

TEST_F(VTPDFTest, AcroSupportBelowSixLeavesItsVersionUnsetAndFails) {
  // 0x50001 is on the fallback list, but below the minimum of 0x80000.
  pdfl_testing::OfferTable("AcroSupport", 0x50001);
  VTPDF pdf;
  EXPECT_FALSE(pdf.libraryStarted);
  EXPECT_EQ("failed on AcroSupport version 80000\n", debug_line_testing::LastDebugLine());
  EXPECT_EQ(0u, CurrentTableBlock()->slots[kAcroSupportSlot]);
  EXPECT_EQ(0u, CurrentTableBlock()->slots[kAcroSupportVersionSlot]);
}

TEST_F(VTPDFTest, UnknownVersionFallsBackToTheListedVersions) {
  const struct {
    const char* name;
    uint32_t offered;
    int tableSlot;
    int versionSlot;
    uint32_t version;
  } cases[] = {
      {"Core", 0x50000, kCoreSlot, kCoreVersionSlot, 0x50000},
      {"PDSysFont", 0x40005, kPDSysFontSlot, kPDSysFontVersionSlot, 0x40005},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    pdfl_testing::Reset();
    pdfl_testing::OfferTable(c.name, c.offered);
    pdfl_testing::HideTableVersion(c.name);
    VTPDF pdf;
    EXPECT_TRUE(pdf.libraryStarted);
    EXPECT_NE(0u, CurrentTableBlock()->slots[c.tableSlot]);
    EXPECT_EQ(c.version, CurrentTableBlock()->slots[c.versionSlot]);
  }
}

TEST_F(VTPDFTest, RefusedStartUpIsNotEnded) {
  pdfl_testing::FailInit(7);
  {
    VTPDF pdf;
    EXPECT_FALSE(pdf.libraryStarted);
    EXPECT_EQ(7u, pdf.StartLibrary());
  }
  pdfl_testing::Reset();
  pdfl_testing::FailThreadData(true);
  {
    VTPDF pdf;
    EXPECT_FALSE(pdf.libraryStarted);
  }
  EXPECT_EQ(0, pdfl_testing::GetCounts().ends);
}

TEST_F(VTPDFTest, OpensAndClosesADocument) {
  std::string path = WritePdf("a.pdf", pdf_maker::PdfOptions());
  VTPDF pdf;
  PDDoc document = pdf.OpenDocument(U16(path).c_str());
  ASSERT_NE(nullptr, document);
  EXPECT_TRUE(pdf.CloseDocument(document));
  EXPECT_EQ(1, pdfl_testing::GetCounts().opens);
  EXPECT_EQ(1, pdfl_testing::GetCounts().closes);
}

TEST_F(VTPDFTest, DocumentWithADamagedCrossReferenceTableOpens) {
  pdf_maker::PdfOptions options;
  options.damageXref = true;
  std::string path = WritePdf("damaged.pdf", options);
  VTPDF pdf;
  PDDoc document = pdf.OpenDocument(U16(path).c_str());
  ASSERT_NE(nullptr, document);
  EXPECT_TRUE(pdf.CloseDocument(document));
}

TEST_F(VTPDFTest, FilesThatAreNoPdfGiveNoDocument) {
  std::string text = Path("text.pdf");
  FILE* file = fopen(text.c_str(), "w");
  ASSERT_NE(nullptr, file);
  fputs("just some text\n", file);
  fclose(file);

  VTPDF pdf;
  EXPECT_EQ(nullptr, pdf.OpenDocument(U16(Path("missing.pdf")).c_str()));
  EXPECT_EQ(nullptr, pdf.OpenDocument(U16(text).c_str()));
  EXPECT_EQ(nullptr, pdf.OpenDocument(U16(scratch_.path()).c_str()));
  EXPECT_EQ(0, pdfl_testing::GetCounts().opens);
}

// Every refusal after the open closes the document again.
TEST_F(VTPDFTest, DocumentThatMayNotBeModifiedIsClosedAgain) {
  std::string plain = WritePdf("plain.pdf", pdf_maker::PdfOptions());
  pdf_maker::PdfOptions locked;
  locked.encryptNoModify = true;
  std::string encrypted = WritePdf("locked.pdf", locked);

  const struct {
    const char* what;
    const std::string& path;
    int deny;
    const char* raiseIn;
    int skip;
  } cases[] = {
      {"request 4 denied", plain, kPDPermModify, nullptr, 0},
      {"request 5 denied", plain, kPDPermModifyMetadata, nullptr, 0},
      {"encrypted, no modification", encrypted, 0, nullptr, 0},
      {"raise in request 4", plain, 0, "PDDocPermRequest", 0},
      {"raise in request 5", plain, 0, "PDDocPermRequest", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    pdfl_testing::Reset();
    VTPDF pdf;
    if (c.deny)
      pdfl_testing::DenyPermission(c.deny);
    if (c.raiseIn)
      pdfl_testing::RaiseIn(c.raiseIn, c.skip);
    EXPECT_EQ(nullptr, pdf.OpenDocument(U16(c.path).c_str()));
    EXPECT_EQ(1, pdfl_testing::GetCounts().opens);
    EXPECT_EQ(1, pdfl_testing::GetCounts().closes);
  }
}

TEST_F(VTPDFTest, RaiseWhileOpeningGivesNoDocument) {
  std::string path = WritePdf("a.pdf", pdf_maker::PdfOptions());
  for (const char* operation : {"ASFileSysCreatePathName", "PDDocOpen"}) {
    SCOPED_TRACE(operation);
    pdfl_testing::Reset();
    VTPDF pdf;
    pdfl_testing::RaiseIn(operation);
    EXPECT_EQ(nullptr, pdf.OpenDocument(U16(path).c_str()));
    EXPECT_EQ(0, pdfl_testing::GetCounts().opens);
  }
}

TEST_F(VTPDFTest, RaiseWhileClosingIsReported) {
  std::string path = WritePdf("a.pdf", pdf_maker::PdfOptions());
  VTPDF pdf;
  PDDoc document = pdf.OpenDocument(U16(path).c_str());
  ASSERT_NE(nullptr, document);
  pdfl_testing::RaiseIn("PDDocClose");
  EXPECT_FALSE(pdf.CloseDocument(document));
  EXPECT_TRUE(pdf.CloseDocument(document));
}

// Object streams from PDF 1.5 on, none before; pages and Info survive.
TEST_F(VTPDFTest, SaveWritesTheDocumentsVersionWithMatchingCompression) {
  const struct {
    const char* version;
    bool objectStreams;
  } cases[] = {{"1.4", false}, {"1.5", true}, {"1.7", true}, {"2.0", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    pdf_maker::PdfOptions options;
    options.version = c.version;
    options.pages = 3;
    options.info = {{"Title", "Saved"}, {"Author", "Tests"}};
    std::string path = WritePdf(std::string("v") + c.version + ".pdf", options);
    // Bytes after %%EOF: the save is a rewrite, which writes what the record asks.
    std::ofstream(path, std::ios::app) << "\n% after the end\n";

    VTPDF pdf;
    PDDoc document = pdf.OpenDocument(U16(path).c_str());
    ASSERT_NE(nullptr, document);
    EXPECT_TRUE(pdf.SaveDocument(document, U16(path).c_str(), false));
    EXPECT_TRUE(pdf.CloseDocument(document));

    EXPECT_TRUE(pdf_maker::CheckOk(path));
    EXPECT_EQ(c.version, pdf_maker::PdfVersion(path));
    EXPECT_EQ(c.objectStreams, pdf_maker::HasObjectStreams(path));
    EXPECT_FALSE(pdf_maker::IsLinearized(path));
    EXPECT_EQ(3, pdf_maker::PageCount(path));
    EXPECT_EQ("Saved", pdf_maker::InfoValue(path, "Title"));
    EXPECT_EQ("Tests", pdf_maker::InfoValue(path, "Author"));
  }
}

TEST_F(VTPDFTest, SaveLinearizesOnRequestOnly) {
  pdf_maker::PdfOptions options;
  options.pages = 2;
  std::string path = WritePdf("a.pdf", options);
  VTPDF pdf;
  PDDoc document = pdf.OpenDocument(U16(path).c_str());
  ASSERT_NE(nullptr, document);
  EXPECT_EQ(0, PDDocGetFlags(document) & kPDDocIsLinearized);

  EXPECT_TRUE(pdf.SaveDocument(document, U16(path).c_str(), true));
  EXPECT_TRUE(pdf_maker::IsLinearized(path));
  EXPECT_TRUE(pdf_maker::CheckOk(path));
  EXPECT_TRUE(pdf.SaveDocument(document, U16(path).c_str(), false));
  EXPECT_FALSE(pdf_maker::IsLinearized(path));
  EXPECT_TRUE(pdf.CloseDocument(document));
  EXPECT_EQ(2, pdfl_testing::GetCounts().saves);
}

TEST_F(VTPDFTest, RaiseDuringTheSaveLeavesTheFileAsItWas) {
  pdf_maker::PdfOptions options;
  options.info = {{"Title", "Original"}};
  std::string path = WritePdf("a.pdf", options);
  std::string before = pdf_maker::ReadFile(path);

  for (const char* operation :
       {"ASFileSysCreatePathName", "PDDocGetVersion", "PDDocSaveWithParams"}) {
    SCOPED_TRACE(operation);
    pdfl_testing::Reset();
    VTPDF pdf;
    PDDoc document = pdf.OpenDocument(U16(path).c_str());
    ASSERT_NE(nullptr, document);
    pdfl_testing::RaiseIn(operation);
    EXPECT_FALSE(pdf.SaveDocument(document, U16(path).c_str(), false));
    EXPECT_EQ(0, pdfl_testing::GetCounts().saves);
    // The document stays open and usable.
    EXPECT_TRUE(pdf.CloseDocument(document));
    EXPECT_EQ(before, pdf_maker::ReadFile(path));
    size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(scratch_.path())) {
      EXPECT_EQ(path, entry.path().string());
      ++entries;
    }
    EXPECT_EQ(1u, entries);
  }
}

}  // namespace
