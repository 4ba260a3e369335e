#include "docmark/docmark.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "pdf_maker.h"
#include "pdfl_testing.h"
#include "xmp_schema.h"

namespace fs = std::filesystem;

namespace {

// A packet whose tag property holds this text.
std::string TagXmp(const std::string& text) {
  return pdf_maker::SimpleXmp("<rdf:Description rdf:about=\"\" xmlns:vtrlPDF=\"" +
                              std::string(kTaggingNamespaceURI) + "\">\r\n<vtrlPDF:vtrlTag>" +
                              text + "</vtrlPDF:vtrlTag>\r\n</rdf:Description>\r\n");
}

// What a read gives back, filled with a pattern no read produces, so that a
// record left alone can be told from one written.
struct ReadResult {
  ReadResult() {
    std::memset(&settings, 0x5A, sizeof settings);
    std::memset(&version, 0x5A, sizeof version);
    std::memset(&fileSize, 0x5A, sizeof fileSize);
  }
  bool Untouched() const {
    ReadResult fresh;
    return std::memcmp(&settings, &fresh.settings, sizeof settings) == 0 &&
           std::memcmp(&version, &fresh.version, sizeof version) == 0 && fileSize == fresh.fileSize;
  }

  PDFSettingsInfo settings;
  PDFVersionInfo version;
  int64_t fileSize;
};

// The byte of a bool as it lies in the record.
int Byte(const bool& flag) {
  unsigned char byte;
  std::memcpy(&byte, &flag, 1);
  return byte;
}

void ExpectSettings(const PDFSettingsInfo& expected, const PDFSettingsInfo& actual) {
  EXPECT_EQ(expected.mode, actual.mode);
  EXPECT_EQ(expected.amount, actual.amount);
  EXPECT_EQ(int{expected.optionA}, Byte(actual.optionA));
  EXPECT_EQ(int{expected.optionB}, Byte(actual.optionB));
  EXPECT_EQ(int{expected.optionC}, Byte(actual.optionC));
}

void ExpectVersion(const PDFVersionInfo& expected, const PDFVersionInfo& actual) {
  EXPECT_EQ(expected.major, actual.major);
  EXPECT_EQ(expected.minor, actual.minor);
  EXPECT_EQ(expected.build, actual.build);
  EXPECT_EQ(int{expected.writerFlag}, Byte(actual.writerFlag));
}

class DocmarkTest : public ::testing::Test {
 protected:
  void SetUp() override { pdfl_testing::Reset(); }
  void TearDown() override { pdfl_testing::Reset(); }

  std::string Make(const std::string& name, const pdf_maker::PdfOptions& options) {
    std::string path = scratch_.Path(name);
    pdf_maker::WritePdf(path, options);
    return path;
  }
  std::string Make(const std::string& name) { return Make(name, pdf_maker::PdfOptions()); }
  std::string MakeTagged(const std::string& name) {
    pdf_maker::PdfOptions options;
    options.info = {{"vtrlTag", "S7.9.9-629600-1"}};
    return Make(name, options);
  }

  static bool Read(const std::string& path, ReadResult& result) {
    return VTPDFTagRead(pdf_maker::ToUtf16(path).c_str(), &result.settings, &result.fileSize,
                        &result.version);
  }
  static bool Write(const std::string& path, const PDFSettingsInfo& settings, bool flag) {
    return VTPDFTagWrite(pdf_maker::ToUtf16(path).c_str(), settings, flag);
  }
  static bool IsTagged(const std::string& path) {
    return VTPDFTagIsAlreadyOptimized(pdf_maker::ToUtf16(path).c_str());
  }

  pdf_maker::ScratchDirectory scratch_;
};

const PDFSettingsInfo kSettings629600 = {2, 150, true, false, true};
const PDFVersionInfo kVersion799S = {7, 9, 9, true};

// The text is decoded from the document information and from XMP alike; a
// text the decoder refuses leaves the records untouched. The decoder's own
// cases are tag_value_test.cc's.
TEST_F(DocmarkTest, DecodesTheTagTextOrRefusesIt) {
  const std::string good = "S7.9.9-629600-1048576";
  for (const std::string& text : {good, std::string("S7.9.9-62960-1")}) {
    for (bool inInfo : {true, false}) {
      SCOPED_TRACE("\"" + text + (inInfo ? "\" in the document information" : "\" in XMP"));
      pdf_maker::PdfOptions options;
      if (inInfo)
        options.info = {{"vtrlTag", text}};
      else
        options.xmp = TagXmp(text);
      std::string path = Make("tagged.pdf", options);

      ReadResult result;
      bool ok = text == good;
      EXPECT_EQ(ok, Read(path, result));
      EXPECT_EQ(ok, IsTagged(path));
      if (ok) {
        ExpectVersion(kVersion799S, result.version);
        ExpectSettings(kSettings629600, result.settings);
        EXPECT_EQ(1048576, result.fileSize);
      } else {
        EXPECT_TRUE(result.Untouched());
      }
    }
  }
}

TEST_F(DocmarkTest, NullArgumentsGiveFalseWithoutStartingTheLibrary) {
  std::string path = MakeTagged("tagged.pdf");
  std::u16string widePath = pdf_maker::ToUtf16(path);
  ReadResult result;
  EXPECT_FALSE(VTPDFTagRead(nullptr, &result.settings, &result.fileSize, &result.version));
  EXPECT_FALSE(VTPDFTagRead(widePath.c_str(), nullptr, &result.fileSize, &result.version));
  EXPECT_FALSE(VTPDFTagRead(widePath.c_str(), &result.settings, nullptr, &result.version));
  EXPECT_FALSE(VTPDFTagRead(widePath.c_str(), &result.settings, &result.fileSize, nullptr));
  EXPECT_FALSE(VTPDFTagIsAlreadyOptimized(nullptr));
  EXPECT_FALSE(VTPDFTagWrite(nullptr, kSettings629600, true));
  EXPECT_TRUE(result.Untouched());
  EXPECT_EQ(0, pdfl_testing::GetCounts().starts);
  EXPECT_EQ(0, pdfl_testing::GetCounts().opens);
}

TEST_F(DocmarkTest, NothingIsTouchedWhenTheLibraryCannotStart) {
  std::string path = MakeTagged("tagged.pdf");
  std::string before = pdf_maker::ReadFile(path);
  pdfl_testing::FailInit(2);
  ReadResult result;
  EXPECT_FALSE(Read(path, result));
  EXPECT_TRUE(result.Untouched());
  EXPECT_FALSE(IsTagged(path));
  EXPECT_FALSE(Write(path, kSettings629600, true));
  EXPECT_EQ(0, pdfl_testing::GetCounts().opens);
  EXPECT_EQ(before, pdf_maker::ReadFile(path));

  pdfl_testing::Reset();
  pdfl_testing::OfferTable("DLExtras", 0x90000);  // starts, then lacks a table
  EXPECT_FALSE(Read(path, result));
  EXPECT_FALSE(Write(path, kSettings629600, true));
  EXPECT_EQ(0, pdfl_testing::GetCounts().opens);
  EXPECT_EQ(before, pdf_maker::ReadFile(path));
}

// A C++ exception from below ends the call as false, with the library ended,
// instead of reaching a host that cannot catch it.
TEST_F(DocmarkTest, AnExceptionFromTheLibraryEndsTheCallAsAFailure) {
  std::string path = MakeTagged("tagged.pdf");
  std::string before = pdf_maker::ReadFile(path);
  pdfl_testing::ThrowIn("PDDocOpen");
  ReadResult result;
  EXPECT_FALSE(Read(path, result));
  EXPECT_TRUE(result.Untouched());
  pdfl_testing::ThrowIn("PDDocSetXAPMetadataProperty");
  EXPECT_FALSE(Write(path, kSettings629600, true));
  EXPECT_EQ(before, pdf_maker::ReadFile(path));
  EXPECT_EQ(2, pdfl_testing::GetCounts().starts);
  EXPECT_EQ(2, pdfl_testing::GetCounts().ends);

  // The library works as before.
  ASSERT_TRUE(Write(path, kSettings629600, true));
  EXPECT_TRUE(IsTagged(path));
}

TEST_F(DocmarkTest, FilesWithoutATagLeaveTheRecordsUntouched) {
  pdf_maker::PdfOptions options;
  options.info = {{"Title", "T"}};
  options.xmp = pdf_maker::SimpleXmp();
  std::string untagged = Make("untagged.pdf", options);
  std::string missing = scratch_.Path("missing.pdf");
  std::string text = scratch_.Path("text.pdf");
  std::ofstream(text) << "S7.9.9-629600-1\n";
  for (const std::string& path : {untagged, missing, text, scratch_.path()}) {
    SCOPED_TRACE(path);
    ReadResult result;
    EXPECT_FALSE(Read(path, result));
    EXPECT_TRUE(result.Untouched());
    EXPECT_FALSE(IsTagged(path));
  }
  EXPECT_EQ(pdfl_testing::GetCounts().opens, pdfl_testing::GetCounts().closes);
  EXPECT_EQ(pdfl_testing::GetCounts().starts, pdfl_testing::GetCounts().ends);
}

TEST_F(DocmarkTest, ReadAfterWriteGivesWhatTheTagKeeps) {
  for (bool flag : {true, false}) {
    SCOPED_TRACE(flag);
    std::string path = Make("doc.pdf");
    PDFSettingsInfo settings = {17, 70000, true, false, true};
    // A host's true may be any non-zero byte.
    unsigned char two = 2;
    std::memcpy(&settings.optionC, &two, 1);
    ASSERT_TRUE(Write(path, settings, flag));

    ReadResult result;
    ASSERT_TRUE(Read(path, result));
    ExpectVersion({7, 9, 9, flag}, result.version);
    ExpectSettings({1, 4464, true, false, true}, result.settings);
    EXPECT_TRUE(IsTagged(path));
  }
}

TEST_F(DocmarkTest, ReTagCopiesAndKeepsTheSize) {
  std::string path = Make("doc.pdf");
  ASSERT_TRUE(Write(path, kSettings629600, true));
  EXPECT_EQ(2, pdfl_testing::GetCounts().saves);

  // The same tag again: the packet has room, so both saves copy the file
  // and the stored size is the file's size both before and after.
  int64_t size = fs::file_size(path);
  pdfl_testing::Reset();
  ASSERT_TRUE(Write(path, kSettings629600, true));
  EXPECT_EQ(2, pdfl_testing::GetCounts().copies);
  EXPECT_EQ(size, static_cast<int64_t>(fs::file_size(path)));
  ReadResult result;
  ASSERT_TRUE(Read(path, result));
  EXPECT_EQ(size, result.fileSize);
  EXPECT_EQ(pdfl_testing::GetCounts().starts, pdfl_testing::GetCounts().ends);
}

TEST_F(DocmarkTest, FailedPassLeavesTheFileAsItWas) {
  std::string path = Make("doc.pdf");
  std::string before = pdf_maker::ReadFile(path);
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass);
    pdfl_testing::RaiseIn("PDDocSaveWithParams", pass);
    EXPECT_FALSE(Write(path, kSettings629600, true));
    pdfl_testing::Reset();
    EXPECT_EQ(before, pdf_maker::ReadFile(path));
    EXPECT_EQ(1, std::distance(fs::directory_iterator(scratch_.path()), {}));
  }
  ASSERT_TRUE(Write(path, kSettings629600, true));
  ReadResult result;
  ASSERT_TRUE(Read(path, result));
  EXPECT_EQ(static_cast<int64_t>(fs::file_size(path)), result.fileSize);
}

// Every library call runs inside an exception frame, so a raise in any of
// them ends the call, never the host. Where the raise comes before the file
// was replaced, the write returns false and leaves the file as it was; a raise
// while releasing what a finished pass used cannot undo the pass, and the
// write goes on.
TEST_F(DocmarkTest, ARaiseInAnyLibraryCallEndsTheCallWithoutHarm) {
  struct Raise {
    const char* operation;
    int skip;
  };
  // Before the file is replaced: starting the library and acquiring a table,
  // the file system around the open and the save, the metadata writer's texts
  // of the packet and of the property.
  const Raise refused[] = {
      {"ASAtomFromString", 0},     {"ASExtensionMgrGetHFT", 0}, {"HFTGetVersion", 0},
      {"ASExtensionMgrGetHFT", 1}, {"ASGetDefaultFileSys", 0},  {"ASFileSysReleasePath", 0},
      {"ASGetDefaultFileSys", 1},  {"ASTextDestroy", 2},        {"ASTextDestroy", 4}};
  // Releasing what a finished step used: the path of the first pass's save,
  // the texts of the test for the property (which then counts as absent), the
  // library.
  const Raise completed[] = {{"ASFileSysReleasePath", 1}, {"ASTextDestroy", 0}, {"PDFLTerm", 0}};
  auto write = [&](const Raise& raise, bool written) {
    SCOPED_TRACE(std::string(raise.operation) + " " + std::to_string(raise.skip));
    pdfl_testing::Reset();
    std::string path = Make("doc.pdf");
    std::string before = pdf_maker::ReadFile(path);
    pdfl_testing::RaiseIn(raise.operation, raise.skip);
    EXPECT_EQ(written, Write(path, kSettings629600, true));
    EXPECT_EQ(pdfl_testing::GetCounts().opens, pdfl_testing::GetCounts().closes);
    EXPECT_EQ(1, std::distance(fs::directory_iterator(scratch_.path()), {}));
    if (!written) {
      EXPECT_EQ(before, pdf_maker::ReadFile(path));
      return;
    }
    ReadResult result;
    ASSERT_TRUE(Read(path, result));
    EXPECT_EQ(static_cast<int64_t>(fs::file_size(path)), result.fileSize);
  };
  for (const Raise& raise : refused)
    write(raise, false);
  for (const Raise& raise : completed)
    write(raise, true);

  // The reader's texts: the value counts as absent.
  std::string tagged = Make("tagged.pdf", [] {
    pdf_maker::PdfOptions options;
    options.xmp = TagXmp("S7.9.9-629600-1");
    return options;
  }());
  pdfl_testing::RaiseIn("ASTextDestroy");
  EXPECT_FALSE(IsTagged(tagged));
  pdfl_testing::RaiseIn("PDFLTerm");
  EXPECT_TRUE(IsTagged(tagged));
}

TEST_F(DocmarkTest, WriteToAMissingPathFails) {
  std::string path = scratch_.Path("missing.pdf");
  EXPECT_FALSE(Write(path, kSettings629600, true));
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(0, pdfl_testing::GetCounts().saves);
}

// After a false, errno holds the reason of the system call that failed, or 0
// where none did (not a PDF, no tag, a library error), whatever it held
// before the call.
TEST_F(DocmarkTest, AfterAFalseErrnoIsTheSystemsReason) {
  std::string untagged = Make("untagged.pdf", pdf_maker::PdfOptions());
  std::string readOnly = Make("read-only.pdf", pdf_maker::PdfOptions());
  ASSERT_EQ(0, chmod(readOnly.c_str(), 0444));
  std::string text = scratch_.Path("text.pdf");
  std::ofstream(text) << "not a PDF\n";
  ReadResult result;
  auto reason = [](bool done) {
    int error = errno;
    return done ? -1 : error;
  };

  errno = EINTR;
  EXPECT_EQ(ENOENT, reason(Read(scratch_.Path("missing.pdf"), result)));
  EXPECT_EQ(ENOENT, reason(Write(scratch_.Path("missing.pdf"), kSettings629600, true)));
  EXPECT_EQ(ENOENT, reason(IsTagged(scratch_.Path("no folder/a.pdf"))));
  EXPECT_EQ(EACCES, reason(Write(readOnly, kSettings629600, true)));
  errno = EINTR;
  EXPECT_EQ(0, reason(Write(text, kSettings629600, true)));
  errno = EINTR;
  EXPECT_EQ(0, reason(Read(untagged, result)));
  pdfl_testing::RaiseIn("PDDocOpen");
  errno = EINTR;
  EXPECT_EQ(0, reason(IsTagged(untagged)));
}

TEST_F(DocmarkTest, RealPdfsOfSeveralKindsAreTaggedAndStayValid) {
  const struct {
    const char* name;
    const char* version;
    int pages;
    bool xmp;
    bool linearize;
    bool objectStreams;
    bool damageXref;
    const char* oldTag;  // in the document information
  } kinds[] = {
      {"plain-1.4.pdf", "1.4", 1, false, false, false, false, ""},
      {"xmp-1.7.pdf", "1.7", 2, true, false, false, false, ""},
      {"linearized.pdf", "1.7", 3, true, true, false, false, ""},
      {"object-streams.pdf", "1.7", 3, false, false, true, false, ""},
      {"many-pages.pdf", "1.6", 120, false, false, false, false, ""},
      {"old-tag.pdf", "1.5", 1, false, false, false, false, "D1.0.0-000000-5"},
      {"repaired.pdf", "1.4", 4, false, false, false, true, ""},
  };
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.name);
    pdf_maker::PdfOptions options;
    options.version = kind.version;
    options.pages = kind.pages;
    options.info = {{"Title", kind.name}};
    if (*kind.oldTag)
      options.info["vtrlTag"] = kind.oldTag;
    if (kind.xmp)
      options.xmp = pdf_maker::SimpleXmp();
    options.linearize = kind.linearize;
    options.objectStreams = kind.objectStreams;
    options.damageXref = kind.damageXref;
    std::string path = Make(kind.name, options);
    int pages = pdf_maker::PageCount(path);
    bool linearized = pdf_maker::IsLinearized(path);

    ASSERT_TRUE(Write(path, {5, 300, false, true, false}, false));
    EXPECT_TRUE(pdf_maker::CheckOk(path));
    EXPECT_EQ(pages, pdf_maker::PageCount(path));
    EXPECT_EQ(linearized, pdf_maker::IsLinearized(path));
    EXPECT_EQ(kind.version, pdf_maker::PdfVersion(path));
    EXPECT_EQ("", pdf_maker::InfoValue(path, "vtrlTag"));

    ReadResult result;
    ASSERT_TRUE(Read(path, result));
    ExpectVersion({7, 9, 9, false}, result.version);
    ExpectSettings({5, 300, false, true, false}, result.settings);
    EXPECT_EQ(pdfl_testing::GetCounts().opens, pdfl_testing::GetCounts().closes);
  }
}

TEST_F(DocmarkTest, PdfThatForbidsModificationIsNeitherReadNorWritten) {
  pdf_maker::PdfOptions options;
  options.info = {{"vtrlTag", "S7.9.9-629600-1"}};
  options.encryptNoModify = true;
  std::string path = Make("locked.pdf", options);
  std::string before = pdf_maker::ReadFile(path);

  ReadResult result;
  EXPECT_FALSE(Read(path, result));
  EXPECT_TRUE(result.Untouched());
  EXPECT_FALSE(Write(path, kSettings629600, true));
  EXPECT_EQ(before, pdf_maker::ReadFile(path));
  EXPECT_EQ(0, pdfl_testing::GetCounts().saves);
}

}  // namespace
