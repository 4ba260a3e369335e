// What a write keeps and what it changes, on real and damaged files.
#include "docmark/docmark.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "pdf_maker.h"
#include "pdfl_testing.h"

namespace fs = std::filesystem;

namespace {

const PDFSettingsInfo kSettings = {2, 150, true, false, true};

bool Write(const std::string& path) {
  return VTPDFTagWrite(pdf_maker::ToUtf16(path).c_str(), kSettings, true);
}

// The size the tag holds; -1 when the file has no tag.
int64_t StoredSize(const std::string& path) {
  PDFSettingsInfo settings;
  PDFVersionInfo version;
  int64_t size = -1;
  if (!VTPDFTagRead(pdf_maker::ToUtf16(path).c_str(), &settings, &size, &version))
    return -1;
  return size;
}

void Overwrite(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.flush());
}

using pdf_maker::Names;

class DocmarkWriteTest : public ::testing::Test {
 protected:
  std::string Make(const std::string& name, const pdf_maker::PdfOptions& options) {
    std::string path = scratch_.Path(name);
    pdf_maker::WritePdf(path, options);
    return path;
  }

  pdf_maker::ScratchDirectory scratch_;
};

// A tag whose size field gains or loses a digit in the first pass would move
// the file by a byte in the second. The files here land just past each digit
// boundary of the size, growing into it (a filler in the document
// information) and shrinking out of it (a packet with much padding, which
// the write trims to the usual amount).
TEST_F(DocmarkWriteTest, StoredSizeIsTheFileSizeAcrossDigitBoundaries) {
  for (int64_t boundary : {10000, 100000, 1000000}) {
    for (bool growing : {true, false}) {
      SCOPED_TRACE(std::to_string(boundary) + (growing ? " growing" : " shrinking"));
      pdf_maker::PdfOptions options;
      options.version = "1.4";  // no object streams, which would compress the filler
      if (!growing) {
        std::string padding(30000, ' ');
        options.xmp = pdf_maker::SimpleXmp();
        options.xmp.insert(options.xmp.rfind("<?xpacket end"), padding);
      }
      int64_t target = growing ? boundary : boundary - 1;
      int64_t filler = boundary / 2, before = 0, after = 0;
      for (int attempt = 0; attempt < 6 && after != target; ++attempt) {
        options.info["Filler"] = std::string(filler, 'x');
        std::string path = Make("doc.pdf", options);
        before = fs::file_size(path);
        ASSERT_TRUE(Write(path));
        after = fs::file_size(path);
        ASSERT_EQ(after, StoredSize(path));
        filler += target - after;
      }
      EXPECT_EQ(target, after);
      EXPECT_EQ(growing, before < boundary);
    }
  }
}

// An encrypted file is rewritten in both passes. Its packet, compressed and
// encrypted, would change length with the digits of the size the tag holds,
// and the file's size with it: the size stored is the file's after every
// write, whatever the settings and the digits.
TEST_F(DocmarkWriteTest, EncryptedFilesStoreTheirOwnSize) {
  for (const char* encryption : {"rc4-128", "aes-128", "aes-256"}) {
    SCOPED_TRACE(encryption);
    pdf_maker::PdfOptions options;
    options.pages = 3;
    options.xmp = pdf_maker::SimpleXmp();
    options.encryption = encryption;
    std::string path = Make("secret.pdf", options);
    for (int i = 0; i < 100; ++i) {
      PDFSettingsInfo settings = {i % 16, (i * 7919) % 65536, (i & 1) != 0, (i & 2) != 0,
                                  (i & 4) != 0};
      ASSERT_TRUE(VTPDFTagWrite(pdf_maker::ToUtf16(path).c_str(), settings, i % 3 == 0));
      ASSERT_EQ(StoredSize(path), static_cast<int64_t>(fs::file_size(path))) << "write " << i;
    }
    EXPECT_TRUE(pdf_maker::IsEncrypted(path));
    EXPECT_TRUE(pdf_maker::CheckOk(path));
  }
}

// Bytes of the file with the cross-reference table and trailer cut off.
std::string CutTail(const std::string& bytes, size_t cut) {
  return bytes.substr(0, bytes.size() - cut);
}

// The object "number 0 obj" made unreadable, its length kept.
std::string BreakObject(std::string bytes, int number) {
  std::string header = "\n" + std::to_string(number) + " 0 obj";
  size_t at = bytes.find(header);
  if (at != std::string::npos)
    bytes.replace(at + header.size() - 3, 3, "xxx");
  return bytes;
}

// A truncated download loses the cross-reference table and the trailer: the
// catalog is found in the file and every page is kept. When the damage also
// took pages from the page tree, or cut off pages the tree names, writing
// would lose them, so the file is left as it was; reading it works as before.
TEST_F(DocmarkWriteTest, DamagedFilesAreRecoveredOrLeftAlone) {
  pdf_maker::PdfOptions options;
  options.version = "1.4";
  options.pages = 200;
  std::string pristine = pdf_maker::ReadFile(Make("pristine.pdf", options));
  // pdf_maker numbers the catalog 1 and the page tree 2.
  std::string pageTreeLost = BreakObject(CutTail(pristine, 3000), 2);
  std::string kids = CutTail(pristine, 3000);
  size_t from = kids.find("/Kids [") + 7;
  kids.replace(from, 400, std::string(400, ' '));
  std::string pagesCutOff = CutTail(pristine, pristine.size() / 2);

  std::string cut = Make("cut.pdf", options);
  Overwrite(cut, CutTail(pristine, 3000));
  ASSERT_TRUE(Write(cut));
  EXPECT_EQ(200, pdf_maker::PageCount(cut));
  EXPECT_TRUE(pdf_maker::CheckOk(cut));
  EXPECT_EQ(static_cast<int64_t>(fs::file_size(cut)), StoredSize(cut));

  for (const std::string& damaged : {pageTreeLost, kids, pagesCutOff}) {
    std::string path = Make("damaged.pdf", options);
    Overwrite(path, damaged);
    EXPECT_FALSE(Write(path));
    EXPECT_EQ(damaged, pdf_maker::ReadFile(path));
  }
  EXPECT_EQ((std::vector<std::string>{"cut.pdf", "damaged.pdf", "pristine.pdf"}),
            Names(scratch_.path()));
}

// What a killed write may leave beside "big.pdf": nothing, or, when killed
// between naming the finished file and renaming it over the target, that
// file under its scratch name.
bool LeftNothingButTheScratchName(const std::string& directory) {
  std::vector<std::string> names = Names(directory);
  return names == std::vector<std::string>{"big.pdf"} ||
         names == std::vector<std::string>{".big.pdf.pdfl-tmp", "big.pdf"};
}

// Killed at any moment, a write leaves the file as it was or finished, its
// stored size its size, and nothing beside it but what the next write
// removes: on a first tag, and on a re-tag, whose saves copy the file.
TEST_F(DocmarkWriteTest, AKilledWriteLeavesNothingBehind) {
  pdf_maker::PdfOptions options;
  options.pages = 300;
  options.info["Filler"] = std::string(4 << 20, 'x');
  std::string path = Make("big.pdf", options);
  std::mt19937 random(20261209);
  for (int retag = 0; retag < 2; ++retag) {
    SCOPED_TRACE(retag ? "re-tag" : "first tag");
    std::string original = pdf_maker::ReadFile(path);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Write(path));
    auto duration = std::chrono::steady_clock::now() - start;
    std::string tagged = pdf_maker::ReadFile(path);

    std::uniform_int_distribution<long long> moment(
        0, std::chrono::duration_cast<std::chrono::microseconds>(duration).count() * 6 / 5);
    for (int round = 0; round < 15; ++round) {
      Overwrite(path, original);
      pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0)
        _exit(Write(path) ? 0 : 1);
      std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
      kill(child, SIGKILL);
      ASSERT_EQ(child, waitpid(child, nullptr, 0));
      EXPECT_TRUE(LeftNothingButTheScratchName(scratch_.path()));
      if (pdf_maker::ReadFile(path) != original) {
        EXPECT_TRUE(pdf_maker::CheckOk(path));
        EXPECT_EQ(static_cast<int64_t>(fs::file_size(path)), StoredSize(path));
      }
    }
    Overwrite(path, tagged);
  }
}

// The same at each step of replacing the file, reached for certain: the
// file is as it was or finished, and the next write of it succeeds and
// removes what the killed one left.
TEST_F(DocmarkWriteTest, AWriteKilledAtEachStepOfTheReplaceIsCleanedUpByTheNext) {
  pdf_maker::PdfOptions options;
  options.pages = 30;
  std::string path = Make("big.pdf", options);
  for (int retag = 0; retag < 2; ++retag) {
    std::string original = pdf_maker::ReadFile(path);
    for (const char* step : {"flushed", "named", "replaced"}) {
      SCOPED_TRACE(std::string(retag ? "re-tag, " : "first tag, ") + step);
      Overwrite(path, original);
      pid_t child = fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        pdfl_testing::KillAt(step);
        _exit(Write(path) ? 0 : 1);
      }
      int status = 0;
      ASSERT_EQ(child, waitpid(child, &status, 0));
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
      EXPECT_TRUE(LeftNothingButTheScratchName(scratch_.path()));
      if (pdf_maker::ReadFile(path) != original) {
        EXPECT_EQ(static_cast<int64_t>(fs::file_size(path)), StoredSize(path));
      }
      ASSERT_TRUE(Write(path));
      EXPECT_EQ(std::vector<std::string>{"big.pdf"}, Names(scratch_.path()));
    }
  }
}

// A copy whose proof fails, in either pass, even the second pass's patch in
// place, leaves the write to the rewrite: the file is tagged all the same.
TEST_F(DocmarkWriteTest, CopiesThatFailTheirProofAreRewritten) {
  std::string path = Make("a.pdf", pdf_maker::PdfOptions());
  ASSERT_TRUE(Write(path));
  int copies = pdfl_testing::GetCounts().copies;
  pdfl_testing::DamageCopies(true);
  EXPECT_TRUE(Write(path));
  pdfl_testing::DamageCopies(false);
  EXPECT_EQ(pdfl_testing::GetCounts().copies, copies);
  EXPECT_TRUE(pdf_maker::CheckOk(path));
  EXPECT_EQ(static_cast<int64_t>(fs::file_size(path)), StoredSize(path));
}

// On a nearly full disk: with room for one tagged copy beside the file, the
// write succeeds, its second pass patching the first pass's file in place;
// with less, it fails and leaves the file as it was, nothing beside it.
TEST_F(DocmarkWriteTest, ANearlyFullDiskTagsTheFileOrLeavesItAsItWas) {
  pdf_maker::PdfOptions options;
  options.pages = 20;
  options.info["Filler"] = std::string(40000, 'x');
  std::string path = Make("a.pdf", options);
  std::string original = pdf_maker::ReadFile(path);
  ASSERT_TRUE(Write(path));
  size_t tagged = fs::file_size(path);

  auto pages = [](size_t bytes) { return (bytes + 4095) / 4096 * 4096; };
  for (size_t room : {pages(tagged) + 4096, pages(tagged / 2)}) {
    std::string disk = scratch_.Path("disk" + std::to_string(room));
    fs::create_directory(disk);
    std::string size = "size=" + std::to_string(pages(original.size()) + room);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, size.c_str()) != 0)
      GTEST_SKIP() << "cannot mount a tmpfs here (needs root): " << std::strerror(errno);
    std::string small = disk + "/a.pdf";
    Overwrite(small, original);
    bool fits = room > tagged;
    bool written = Write(small);
    int reason = errno;
    EXPECT_EQ(fits, written);
    if (fits) {
      EXPECT_EQ(static_cast<int64_t>(fs::file_size(small)), StoredSize(small));
    } else {
      EXPECT_EQ(ENOSPC, reason);
      EXPECT_EQ(original, pdf_maker::ReadFile(small));
    }
    EXPECT_EQ(std::vector<std::string>{"a.pdf"}, Names(disk));
    umount(disk.c_str());
  }
}

TEST_F(DocmarkWriteTest, TheTaggedFileKeepsItsOwnerModeAndExtendedAttributes) {
  if (geteuid() != 0)
    GTEST_SKIP() << "only root can give a file to another user";
  std::string path = Make("theirs.pdf", pdf_maker::PdfOptions());
  ASSERT_EQ(0, chown(path.c_str(), 4242, 4343));
  ASSERT_EQ(0, chmod(path.c_str(), 0640));
  if (setxattr(path.c_str(), "user.origin", "scanner", 7, 0) != 0)
    GTEST_SKIP() << "this file system keeps no user extended attributes";

  ASSERT_TRUE(Write(path));
  struct stat status;
  ASSERT_EQ(0, stat(path.c_str(), &status));
  EXPECT_EQ(4242u, status.st_uid);
  EXPECT_EQ(4343u, status.st_gid);
  EXPECT_EQ(0640u, status.st_mode & 07777);
  char value[16] = {};
  EXPECT_EQ(7, getxattr(path.c_str(), "user.origin", value, sizeof value));
  EXPECT_STREQ("scanner", value);
}

// The longest names a file system takes leave no room for a temporary named
// after them.
TEST_F(DocmarkWriteTest, AFileWithA250ByteNameIsTagged) {
  std::string name = std::string(246, 'n') + ".pdf";
  std::string path = Make(name, pdf_maker::PdfOptions());
  ASSERT_TRUE(Write(path));
  EXPECT_EQ(static_cast<int64_t>(fs::file_size(path)), StoredSize(path));
  EXPECT_EQ(std::vector<std::string>{name}, Names(scratch_.path()));
}

// Parsing a packet with hundreds of thousands of properties side by side
// would take minutes: it is refused at once and the file left alone. A large
// packet of the usual shape (a big thumbnail) is tagged as any other.
TEST_F(DocmarkWriteTest, HostileMetadataIsRefusedAndLargeMetadataTagged) {
  std::string properties;
  for (int i = 0; i < 300000; ++i)
    properties += "<ex:p" + std::to_string(i) + ">v</ex:p" + std::to_string(i) + ">\r\n";
  pdf_maker::PdfOptions options;
  options.version = "1.4";
  options.xmp = pdf_maker::SimpleXmp(
      "<rdf:Description rdf:about=\"\" xmlns:ex=\"http://example.org/ex/\">\r\n" + properties +
      "</rdf:Description>\r\n");
  std::string hostile = Make("hostile.pdf", options);
  std::string before = pdf_maker::ReadFile(hostile);
  EXPECT_FALSE(Write(hostile));
  EXPECT_EQ(-1, StoredSize(hostile));
  EXPECT_EQ(before, pdf_maker::ReadFile(hostile));

  options.xmp = pdf_maker::SimpleXmp(
      "<rdf:Description rdf:about=\"\" xmlns:ex=\"http://example.org/ex/\">\r\n<ex:thumbnail>" +
      std::string(20 << 20, 'A') + "</ex:thumbnail>\r\n</rdf:Description>\r\n");
  std::string large = Make("large.pdf", options);
  ASSERT_TRUE(Write(large));
  EXPECT_EQ(static_cast<int64_t>(fs::file_size(large)), StoredSize(large));
}

}  // namespace
