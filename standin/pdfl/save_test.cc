#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "library_fixture.h"

namespace {

class SaveTest : public LibraryTest {
 protected:
  // The names in the scratch directory: a save leaves no temporary file.
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(scratch_.path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(SaveTest, WritesWhatTheRecordAsks) {
  const struct {
    const char* source;
    bool sourceObjectStreams;
    uint32_t flags, flags2;
    int major, minor;
    const char* version;
    bool objectStreams, linearized;
  } cases[] = {
      {"1.4", false, 0xA1, 0x51, 1, 4, "1.4", false, false},
      {"1.5", true, 0xA1, 0x51, 1, 5, "1.5", false, false},
      {"1.5", false, 0xA1, 0x52, 1, 5, "1.5", true, false},
      {"1.7", false, 0xA5, 0x52, 1, 7, "1.7", true, true},
      {"1.7", false, 0xA5, 0x51, 1, 7, "1.7", false, true},
      {"2.0", false, 0xA1, 0x52, 2, 0, "2.0", true, false},
      {"1.7", false, 0xA1, 0x51, 1, 4, "1.4", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " as " + c.version);
    std::string path = Path("a.pdf");
    pdf_maker::PdfOptions options;
    options.version = c.source;
    options.objectStreams = c.sourceObjectStreams;
    options.pages = 3;
    options.info = {{"Title", "T"}, {"ModDate", "D:20010203040506Z"}};
    pdf_maker::WritePdf(path, options);
    PDDoc doc = Open(path);
    ASSERT_NE(doc, nullptr);
    // A change beyond the metadata: the save is a rewrite.
    Call<PDDocSetInfoProc>(pdModel_, kPDDocSetInfoSel, doc, "Title", "U", 1);
    EXPECT_EQ(Save(doc, path, c.flags, c.flags2, c.major, c.minor), 0);
    Close(doc);
    EXPECT_TRUE(pdf_maker::CheckOk(path));
    EXPECT_EQ(pdf_maker::PdfVersion(path), c.version);
    EXPECT_EQ(pdf_maker::HasObjectStreams(path), c.objectStreams);
    EXPECT_EQ(pdf_maker::IsLinearized(path), c.linearized);
    EXPECT_EQ(pdf_maker::PageCount(path), 3);
    EXPECT_EQ(pdf_maker::InfoValue(path, "Title"), "U");
    EXPECT_EQ(pdf_maker::InfoValue(path, "ModDate"), "D:20010203040506Z");
    EXPECT_EQ(Names(), std::vector<std::string>{"a.pdf"});
  }
  EXPECT_EQ(pdfl_testing::GetCounts().saves, 7);
}

TEST_F(SaveTest, EncryptionIsKept) {
  pdf_maker::PdfOptions options;
  options.encryptNoModify = true;
  options.info = {{"Title", "secret"}};
  pdf_maker::WritePdf(Path("a.pdf"), options);
  PDDoc doc = Open(Path("a.pdf"));
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(Save(doc, Path("a.pdf"), 0xA5, 0x52, 1, 4), 0);
  Close(doc);
  EXPECT_TRUE(pdf_maker::IsEncrypted(Path("a.pdf")));
  EXPECT_TRUE(pdf_maker::CheckOk(Path("a.pdf")));
  EXPECT_EQ(pdf_maker::InfoValue(Path("a.pdf"), "Title"), "secret");
  doc = Open(Path("a.pdf"));
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(Call<PDDocPermRequestProc>(pdModel_, kPDDocPermRequestSel, doc, kPDPermDocument,
                                       kPDPermModify, ""),
            -1);
  Close(doc);
}

TEST_F(SaveTest, FailedSaveLeavesTheOriginalAsItWas) {
  pdf_maker::PdfOptions options;
  options.info = {{"Title", "old"}};
  pdf_maker::WritePdf(Path("a.pdf"), options);
  std::string before = pdf_maker::ReadFile(Path("a.pdf"));
  PDDoc doc = Open(Path("a.pdf"));
  ASSERT_NE(doc, nullptr);
  Call<PDDocSetInfoProc>(pdModel_, kPDDocSetInfoSel, doc, "Title", "new", 3);

  pdfl_testing::RaiseIn("PDDocSaveWithParams");
  EXPECT_EQ(Save(doc, Path("a.pdf"), 0xA1, 0x52), kPDFLErrTesting);
  EXPECT_EQ(pdf_maker::ReadFile(Path("a.pdf")), before);
  EXPECT_EQ(Names(), std::vector<std::string>{"a.pdf"});
  EXPECT_EQ(Save(doc, Path("missing/a.pdf"), 0xA1, 0x52), kPDFLErrFileWrite);
  ASSERT_EQ(chmod(Path("a.pdf").c_str(), 0444), 0);
  EXPECT_EQ(Save(doc, Path("a.pdf"), 0xA1, 0x52), kPDFLErrFileWrite);
  EXPECT_EQ(pdf_maker::ReadFile(Path("a.pdf")), before);
  ASSERT_EQ(chmod(Path("a.pdf").c_str(), 0644), 0);
  EXPECT_EQ(pdfl_testing::GetCounts().saves, 0);

  // The document is still whole: the next save writes it.
  EXPECT_EQ(Save(doc, Path("a.pdf"), 0xA1, 0x52), 0);
  Close(doc);
  EXPECT_EQ(pdf_maker::InfoValue(Path("a.pdf"), "Title"), "new");
}

TEST_F(SaveTest, DocumentStaysUsableAcrossSaves) {
  pdf_maker::PdfOptions options;
  options.pages = 4;
  pdf_maker::WritePdf(Path("a.pdf"), options);
  PDDoc doc = Open(Path("a.pdf"));
  ASSERT_NE(doc, nullptr);
  EXPECT_EQ(Save(doc, Path("a.pdf"), 0xA5, 0x52), 0);
  EXPECT_EQ(Call<PDDocGetFlagsProc>(pdModel_, kPDDocGetFlagsSel, doc), kPDDocIsLinearized);
  Call<PDDocSetInfoProc>(pdModel_, kPDDocSetInfoSel, doc, "Title", "second", 6);
  EXPECT_EQ(Save(doc, Path("a.pdf"), 0xA1, 0x51), 0);
  EXPECT_EQ(Save(doc, Path("copy.pdf"), 0xA1, 0x51), 0);
  Close(doc);
  for (const char* name : {"a.pdf", "copy.pdf"}) {
    EXPECT_TRUE(pdf_maker::CheckOk(Path(name)));
    EXPECT_EQ(pdf_maker::PageCount(Path(name)), 4);
    EXPECT_EQ(pdf_maker::InfoValue(Path(name), "Title"), "second");
  }
}

TEST_F(SaveTest, WritesThroughALinkAndKeepsTheMode) {
  std::filesystem::create_directory(Path("real"));
  pdf_maker::WritePdf(Path("real/a.pdf"), pdf_maker::PdfOptions());
  ASSERT_EQ(chmod(Path("real/a.pdf").c_str(), 0640), 0);
  ASSERT_EQ(symlink("real/a.pdf", Path("link.pdf").c_str()), 0);
  PDDoc doc = Open(Path("link.pdf"));
  ASSERT_NE(doc, nullptr);
  Call<PDDocSetInfoProc>(pdModel_, kPDDocSetInfoSel, doc, "Title", "linked", 6);
  EXPECT_EQ(Save(doc, Path("link.pdf"), 0xA1, 0x52), 0);
  Close(doc);
  EXPECT_TRUE(std::filesystem::is_symlink(Path("link.pdf")));
  EXPECT_EQ(pdf_maker::InfoValue(Path("real/a.pdf"), "Title"), "linked");
  struct stat st;
  ASSERT_EQ(stat(Path("real/a.pdf").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Names(), (std::vector<std::string>{"link.pdf", "real"}));
}

}  // namespace
