// docmark_host end to end: the real program, loading the real libdocmark,
// on real PDF files in a temporary directory. DOCMARK_HOST names the program.
// With DOCMARK_WINE set it is docmark_host.exe, run under Wine with docmark.dll
// and DL100PDFL.dll beside it; DOCMARK_LINUX_HOST then names the Linux
// program, and DOCMARK_STARTUP_PROBE the Windows program that shows the
// library's start-up record.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "pdf_maker.h"

namespace {

struct Result {
  int exitCode;
  std::string out;
  std::string err;
};

bool UnderWine() {
  return getenv("DOCMARK_WINE") != nullptr;
}

// A path as the program takes and prints it: under Wine, / is drive Z:.
std::string Native(const std::string& path) {
  if (!UnderWine() || path.empty() || path[0] != '/')
    return path;
  std::string native = "Z:" + path;
  std::replace(native.begin(), native.end(), '/', '\\');
  return native;
}

std::string WithoutCarriageReturns(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Quote(const std::string& word) {
  std::string quoted = "'";
  for (char c : word)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class DocmarkHostTest : public testing::Test {
 protected:
  void SetUp() override {
    const char* host = getenv("DOCMARK_HOST");
    ASSERT_NE(nullptr, host) << "DOCMARK_HOST names the program under test";
    host_ = host;
  }
  std::string Path(const std::string& name) { return scratch_.Path(name); }

  std::string MakePdf(const std::string& name, const pdf_maker::PdfOptions& options = {}) {
    std::string path = Path(name);
    pdf_maker::WritePdf(path, options);
    return path;
  }

  // Runs the program (a .exe under Wine) with the paths among the arguments
  // in its form; its output comes back with Unix line ends.
  Result Run(const std::vector<std::string>& arguments, std::string program = "") {
    program = program.empty() ? host_ : program;
    bool wine = program.size() > 4 && program.compare(program.size() - 4, 4, ".exe") == 0;
    std::string line = (wine ? "wine " : "") + Quote(program);
    for (const std::string& argument : arguments)
      line += " " + Quote(wine ? Native(argument) : argument);
    line += " >" + Quote(Path("out")) + " 2>" + Quote(Path("err"));
    int status = system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            WithoutCarriageReturns(pdf_maker::ReadFile(Path("out"))),
            WithoutCarriageReturns(pdf_maker::ReadFile(Path("err")))};
  }

  pdf_maker::ScratchDirectory scratch_;
  std::string host_;
};

TEST_F(DocmarkHostTest, WriteThenReadAndCheck) {
  pdf_maker::PdfOptions linearized;
  linearized.linearize = true;
  pdf_maker::PdfOptions withXmp;
  withXmp.xmp = pdf_maker::SimpleXmp();
  pdf_maker::PdfOptions packed;
  packed.objectStreams = true;
  pdf_maker::PdfOptions old;
  old.version = "1.4";
  std::string plain = MakePdf("plain.pdf");
  std::string fast = MakePdf("fast web.pdf", linearized);
  std::string xmp = MakePdf("it's xmp.pdf", withXmp);
  std::string streams = MakePdf("streams-1.7.pdf", packed);
  std::string pdf14 = MakePdf("old-1.4.pdf", old);

  Result check = Run({"check", plain});
  EXPECT_EQ(1, check.exitCode);
  EXPECT_EQ(Native(plain) + ": not tagged\n", check.out);

  Result write =
      Run({"write", "-m", "1", "-a", "4464", "-B", "-S", plain, fast, xmp, streams, pdf14});
  EXPECT_EQ(0, write.exitCode) << write.err;
  EXPECT_EQ(Native(plain) + ": tagged\n" + Native(fast) + ": tagged\n" + Native(xmp) +
                ": tagged\n" + Native(streams) + ": tagged\n" + Native(pdf14) + ": tagged\n",
            write.out);
  for (const std::string& file : {plain, fast, xmp, streams, pdf14})
    EXPECT_TRUE(pdf_maker::CheckOk(file)) << file;
  EXPECT_TRUE(pdf_maker::IsLinearized(fast));
  EXPECT_TRUE(pdf_maker::HasObjectStreams(streams));
  EXPECT_EQ("1.4", pdf_maker::PdfVersion(pdf14));

  Result read = Run({"read", xmp});
  EXPECT_EQ(0, read.exitCode) << read.err;
  struct stat status;
  ASSERT_EQ(0, stat(xmp.c_str(), &status));
  EXPECT_EQ(
      "version: 7.9.9\nwriter flag: 1\nmode: 1\namount: 4464\n"
      "option A: 0\noption B: 1\noption C: 0\nstored size: " +
          std::to_string(status.st_size) + "\n",
      read.out);

  Result all = Run({"check", plain, fast, xmp});
  EXPECT_EQ(0, all.exitCode);
  EXPECT_EQ(Native(plain) + ": tagged\n" + Native(fast) + ": tagged\n" + Native(xmp) + ": tagged\n",
            all.out);
}

TEST_F(DocmarkHostTest, DefaultsWriteZeroSettingsAndTheDFlag) {
  std::string file = MakePdf("a.pdf");
  ASSERT_EQ(0, Run({"write", file}).exitCode);
  Result read = Run({"read", file});
  EXPECT_NE(std::string::npos, read.out.find("writer flag: 0\nmode: 0\namount: 0\n"
                                             "option A: 0\noption B: 0\noption C: 0\n"));
}

TEST_F(DocmarkHostTest, OptionsMayFollowTheFiles) {
  std::string file = MakePdf("a.pdf");
  ASSERT_EQ(0, Run({"write", file, "-C", "-m", "3"}).exitCode);
  Result read = Run({"read", file});
  EXPECT_NE(std::string::npos, read.out.find("mode: 3\n")) << read.out;
  EXPECT_NE(std::string::npos, read.out.find("option C: 1\n")) << read.out;
}

// A name that is not UTF-8 reaches the file system byte for byte.
TEST_F(DocmarkHostTest, NameThatIsNotUtf8) {
  if (UnderWine())
    GTEST_SKIP() << "Windows names are UTF-16";
  std::string file = MakePdf("caf\xe9 $(x).pdf");
  Result write = Run({"write", "-A", file});
  EXPECT_EQ(0, write.exitCode) << write.err;
  EXPECT_EQ(0, Run({"check", file}).exitCode);
}

TEST_F(DocmarkHostTest, NonAsciiName) {
  std::string file = MakePdf("caf\xc3\xa9 \xe2\x82\xac \xe6\x97\xa5\xe6\x9c\xac.pdf");
  Result write = Run({"write", "-m", "5", file});
  EXPECT_EQ(0, write.exitCode) << write.err;
  EXPECT_EQ(Native(file) + ": tagged\n", write.out);
  Result read = Run({"read", file});
  EXPECT_NE(std::string::npos, read.out.find("mode: 5\n")) << read.out << read.err;
}

TEST_F(DocmarkHostTest, FailuresSayWhatWentWrong) {
  std::string missing = Path("missing.pdf");
  std::string text = Path("notes.txt");
  std::ofstream(text) << "not a PDF\n";
  std::string plain = MakePdf("plain.pdf");

  Result check = Run({"check", missing, plain});
  EXPECT_EQ(1, check.exitCode);
  EXPECT_EQ(Native(plain) + ": not tagged\n", check.out);
  EXPECT_EQ("docmark_host: " + Native(missing) +
                ": No such file or directory\n"
                "docmark_host: 0 tagged, 1 not tagged, 1 failed\n",
            check.err);

  Result read = Run({"read", text, plain});
  EXPECT_EQ(1, read.exitCode);
  EXPECT_EQ("", read.out);
  EXPECT_EQ("docmark_host: " + Native(text) + ": not a PDF, or damaged\ndocmark_host: " +
                Native(plain) + ": no valid tag\ndocmark_host: 0 read, 2 failed\n",
            read.err);

  Result write = Run({"write", text, missing});
  EXPECT_EQ(1, write.exitCode);
  EXPECT_EQ("not a PDF\n", pdf_maker::ReadFile(text));
  EXPECT_NE(std::string::npos, write.err.find(Native(text) + ": not a PDF, or damaged\n"));
  EXPECT_NE(std::string::npos, write.err.find(Native(missing) + ": No such file or directory\n"));

  // What the library refuses is told from the file's ends: the encryption
  // dictionary's permissions, the header.
  pdf_maker::PdfOptions locked;
  locked.encryptNoModify = true;
  std::string encrypted = MakePdf("locked.pdf", locked);
  std::string protectedFile = Path("protected.pdf");
  ASSERT_EQ(
      0, system(("qpdf --encrypt secret owner 256 -- " + Quote(plain) + " " + Quote(protectedFile))
                    .c_str()));
  std::string empty = Path("empty.pdf");
  std::ofstream(empty).close();
  std::string before = pdf_maker::ReadFile(encrypted);
  Result refused = Run({"write", encrypted, protectedFile, empty});
  EXPECT_EQ(1, refused.exitCode);
  EXPECT_EQ("docmark_host: " + Native(encrypted) +
                ": changes forbidden by its encryption\ndocmark_host: " + Native(protectedFile) +
                ": password-protected\ndocmark_host: " + Native(empty) +
                ": not a PDF, or damaged\ndocmark_host: 0 tagged, 3 failed\n",
            refused.err);
  EXPECT_EQ(before, pdf_maker::ReadFile(encrypted));
  // A pipe is not waited on.
  std::string pipe = Path("pipe.pdf");
  if (!UnderWine()) {
    ASSERT_EQ(0, mkfifo(pipe.c_str(), 0644));
    Result piped = Run({"check", "--json", pipe});
    EXPECT_EQ(1, piped.exitCode);
    EXPECT_NE(std::string::npos, piped.out.find("\"reason\": \"not-a-file\"}")) << piped.out;
  }

  ASSERT_EQ(0, chmod(plain.c_str(), 0444));
  before = pdf_maker::ReadFile(plain);
  Result readOnly = Run({"write", plain});
  EXPECT_EQ(1, readOnly.exitCode);
  EXPECT_EQ(0u, readOnly.err.find("docmark_host: " + Native(plain) + ": not writable\n"))
      << readOnly.err;
  EXPECT_EQ(before, pdf_maker::ReadFile(plain));
}

// Each mistake is named on its own line, by the program's name alone, and
// the synopsis follows.
TEST_F(DocmarkHostTest, BadCommandLinesShowTheUsage) {
  std::string file = MakePdf("a.pdf");
  const std::vector<std::pair<std::vector<std::string>, std::string>> lines = {
      {{}, "no command: check, read or write"},
      {{"tag", file}, "unknown command \"tag\": check, read or write"},
      {{"check"}, "check needs a path"},
      {{"read"}, "read needs a path"},
      {{"read", "-m", "3", file}, "-m is for write only"},
      {{"check", "-P", file}, "-P is for write only"},
      {{"write", "-x", file}, "unknown option -x"},
      {{"check", "--jsn", file}, "unknown option --jsn"},
      {{"write", "-m"}, "-m needs a value"},
      {{"check", "-0", file}, "-0 needs --only"},
      {{"check", "--only", "done", file}, "--only takes tagged, untagged or failed, not \"done\""},
      {{"check", "--only", "failed", "--json", file}, "--only and --json do not go together"},
      {{"read", "-q", "--json", file}, "-q and --json do not go together"}};
  for (const auto& [arguments, what] : lines) {
    Result result = Run(arguments);
    EXPECT_EQ(2, result.exitCode);
    EXPECT_EQ(0u,
              result.err.find("docmark_host: " + what + "\nusage: docmark_host check [-j jobs]"))
        << result.err;
    EXPECT_EQ(std::string::npos, result.err.find(host_)) << result.err;
    EXPECT_EQ(std::string::npos, result.err.find(Native(host_))) << result.err;
  }
  // What the tag cannot hold is refused rather than cut.
  for (const char* amount : {"12x", "65536", "-1"}) {
    Result number = Run({"write", "-a", amount, file});
    EXPECT_EQ(2, number.exitCode);
    EXPECT_EQ(
        std::string("docmark_host: -a needs a number from 0 to 65535, not \"") + amount + "\"\n",
        number.err);
  }
  Result mode = Run({"write", "-m", "16", file});
  EXPECT_EQ(2, mode.exitCode);
  EXPECT_EQ("docmark_host: -m needs a number from 0 to 15, not \"16\"\n", mode.err);
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"check", "--skip-same", file}, {"read", "--json", "-0", file}})
    EXPECT_EQ(2, Run(arguments).exitCode);
  for (const char* asked : {"--help", "--version"}) {
    Result told = Run({asked});
    EXPECT_EQ(0, told.exitCode);
    EXPECT_EQ("", told.err);
    EXPECT_EQ(0u, told.out.find(asked == std::string("--help") ? "usage: " : "docmark_host 7.9.9"));
  }
  EXPECT_EQ(0, Run({"write", "--help"}).exitCode);
  for (const char* jobs : {"0", "257", "x"}) {
    Result bad = Run({"check", "-j", jobs, file});
    EXPECT_EQ(2, bad.exitCode);
    EXPECT_EQ(std::string("docmark_host: -j needs a number from 1 to 256, not \"") + jobs + "\"\n",
              bad.err);
  }
}

std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
    lines.push_back(text.substr(at, end - at));
  std::sort(lines.begin(), lines.end());
  return lines;
}

// A tree: its PDFs (named *.pdf in any case) are taken in every directory
// and in the order of their names, other files left alone; the bad ones are
// each named with the reason, the rest done, and the status is 1; a file
// named directly is taken whatever its name.
TEST_F(DocmarkHostTest, DirectoriesWithBadFilesInThem) {
  ASSERT_EQ(0, mkdir(Path("tree").c_str(), 0755));
  ASSERT_EQ(0, mkdir(Path("tree/sub").c_str(), 0755));
  ASSERT_EQ(0, mkdir(Path("tree/sub/deeper").c_str(), 0755));
  pdf_maker::PdfOptions linearized;
  linearized.linearize = true;
  pdf_maker::PdfOptions locked;
  locked.encryptNoModify = true;
  std::string a = MakePdf("tree/a.pdf");
  std::string b = MakePdf("tree/sub/B.PDF", linearized);
  std::string c = MakePdf("tree/sub/deeper/c.Pdf");
  std::string encrypted = MakePdf("tree/sub/locked.pdf", locked);
  std::string fake = Path("tree/sub/fake.pdf");
  std::ofstream(fake) << "not a PDF\n";
  std::string notes = Path("tree/notes.txt");
  std::ofstream(notes) << "notes\n";
  std::string gone = Path("tree/sub/deeper/gone.pdf");
  if (!UnderWine()) {  // Wine shows no dangling link
    ASSERT_EQ(0, symlink(Path("nowhere.pdf").c_str(), gone.c_str()));
  }
  std::string lockedBytes = pdf_maker::ReadFile(encrypted);

  Result write = Run({"write", "-j", "3", "-m", "5", Path("tree")});
  EXPECT_EQ(1, write.exitCode);
  EXPECT_EQ(
      SortedLines(Native(a) + ": tagged\n" + Native(b) + ": tagged\n" + Native(c) + ": tagged\n"),
      SortedLines(write.out));
  EXPECT_NE(std::string::npos, write.err.find(Native(fake) + ": not a PDF, or damaged"))
      << write.err;
  EXPECT_NE(std::string::npos, write.err.find(Native(encrypted) + ": changes forbidden"))
      << write.err;
  if (!UnderWine()) {
    EXPECT_NE(std::string::npos, write.err.find(gone + ": No such file or directory")) << write.err;
  }
  EXPECT_EQ(std::string::npos, write.err.find("notes.txt"));
  EXPECT_EQ(lockedBytes, pdf_maker::ReadFile(encrypted));
  EXPECT_EQ("not a PDF\n", pdf_maker::ReadFile(fake));
  EXPECT_TRUE(pdf_maker::IsLinearized(b));
  for (const std::string& file : {a, b, c})
    EXPECT_TRUE(pdf_maker::CheckOk(file)) << file;

  // One job takes the files in the order of their names.
  Result check = Run({"check", Path("tree")});
  EXPECT_EQ(1, check.exitCode);
  EXPECT_EQ(Native(a) + ": tagged\n" + Native(b) + ": tagged\n" + Native(c) + ": tagged\n" +
                Native(fake) + ": not tagged\n" + Native(encrypted) + ": not tagged\n",
            check.out);

  Result read = Run({"read", "-j", "2", Path("tree/sub"), notes});
  EXPECT_EQ(1, read.exitCode);
  EXPECT_EQ(SortedLines(Native(b) +
                        ": version 7.9.9, writer flag 0, mode 5, amount 0, option A 0, "
                        "option B 0, option C 0, stored size " +
                        std::to_string(pdf_maker::ReadFile(b).size()) + "\n" + Native(c) +
                        ": version 7.9.9, writer flag 0, mode 5, amount 0, option A 0, option B 0, "
                        "option C 0, stored size " +
                        std::to_string(pdf_maker::ReadFile(c).size()) + "\n"),
            SortedLines(read.out));
  EXPECT_NE(std::string::npos, read.err.find(Native(notes) + ": not a PDF, or damaged"))
      << read.err;

  // More jobs than files.
  Result one = Run({"write", "-j", "16", "-m", "7", a});
  EXPECT_EQ(0, one.exitCode) << one.err;
  EXPECT_EQ(Native(a) + ": tagged\n", one.out);
  EXPECT_NE(std::string::npos, Run({"read", a}).out.find("mode: 7\n"));
}

// On a Windows console the text goes through the console, which shows a
// name that is not ASCII as it is, not as its UTF-8 bytes one by one.
TEST_F(DocmarkHostTest, NamesReadRightOnAWindowsConsole) {
  if (!UnderWine() || system("script -V >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "needs Wine's console, and script(1) to give it a terminal";
  std::string report = MakePdf("\xD0\x9E\xD1\x82\xD1\x87\xD1\x91\xD1\x82.pdf");  // Отчёт
  Result result = Run(
      {"-qec", "wine " + Quote(host_) + " check " + Quote(Native(report)), "/dev/null"}, "script");
  std::string shown;
  for (size_t at = 0; at < result.out.size(); ++at) {
    if (result.out[at] != '\x1b') {
      shown += result.out[at];
      continue;
    }
    // Leaves out the console's cursor controls, ESC [ ... letter.
    while (at < result.out.size() && !isalpha(static_cast<unsigned char>(result.out[at])))
      ++at;
    if (at < result.out.size() && result.out[at] == '[')
      ++at;
    while (at < result.out.size() && !isalpha(static_cast<unsigned char>(result.out[at])))
      ++at;
  }
  EXPECT_NE(std::string::npos, shown.find(Native(report) + ": not tagged")) << shown;
}

// On a terminal (script's), a progress line on stderr stays below the
// results, redrawn at most ten times a second, with the total and the time
// left once a walk of its own has counted the files; the summary replaces it
// at the end. The tests above show there is no progress line when stderr is
// a file. The count of one directory ends long before 150 writes.
TEST_F(DocmarkHostTest, ProgressLineOnATerminal) {
  if (UnderWine() || system("script -V >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "needs script(1) from util-linux to give the program a terminal";
  ASSERT_EQ(0, mkdir(Path("tree").c_str(), 0755));
  std::string a = MakePdf("tree/a.pdf");
  // Enough files for a run of several redraws, a second or so.
  for (int i = 0; i < 148; ++i)
    WriteBytes(Path("tree/copy " + std::to_string(i) + ".pdf"), pdf_maker::ReadFile(a));
  // A name that would recolour the terminal is shown escaped.
  MakePdf("tree/esc\x1b[31mred.pdf");
  auto start = std::chrono::steady_clock::now();
  Result result =
      Run({"-qec", Quote(host_) + " write " + Quote(Path("tree")), "/dev/null"}, "script");
  std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(0, result.exitCode) << result.out;
  EXPECT_NE(std::string::npos, result.out.find(a + ": tagged\n")) << result.out;
  EXPECT_NE(std::string::npos, result.out.find("/150 files, 0 failed, ")) << result.out;
  EXPECT_NE(std::string::npos, result.out.find(" left")) << result.out;
  EXPECT_NE(std::string::npos,
            result.out.find("\"" + Path("tree/esc\\u001b[31mred.pdf") + "\": tagged\n"))
      << result.out;
  EXPECT_EQ(std::string::npos, result.out.find("\x1b[31m")) << result.out;
  std::string summary = "docmark_host: 150 tagged, 0 failed\n";
  EXPECT_EQ(summary, result.out.substr(result.out.size() - summary.size())) << result.out;
  // At most ten redraws a second, and one at the start.
  size_t redraws = 0;
  for (size_t at = 0; (at = result.out.find(" files/s", at)) != std::string::npos; ++at)
    ++redraws;
  EXPECT_LE(redraws, 1 + 10 * seconds.count()) << result.out;
}

// --skip-same leaves a file that carries the same tag as it is, inode and
// time included; --only with -0 gives the bare paths NUL-ended, and a plain
// line quotes a name that a newline would break.
TEST_F(DocmarkHostTest, SkipSameAndLinesForPrograms) {
  std::string a = MakePdf("a.pdf");
  std::string b = MakePdf(UnderWine() ? "b.pdf" : "b\nline.pdf");
  ASSERT_EQ(0, Run({"write", "-m", "3", "-A", a, b}).exitCode);
  struct stat before, after;
  ASSERT_EQ(0, stat(a.c_str(), &before));
  Result again = Run({"write", "--skip-same", "-m", "3", "-A", "--only", "tagged", "-0", a, b});
  EXPECT_EQ(0, again.exitCode) << again.err;
  EXPECT_EQ(Native(a) + '\0' + Native(b) + '\0', again.out);
  EXPECT_EQ("docmark_host: 0 tagged, 2 skipped, 0 failed\n", again.err);
  ASSERT_EQ(0, stat(a.c_str(), &after));
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
  EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);

  Result other = Run({"write", "--skip-same", "-m", "4", "-A", a});
  EXPECT_EQ(Native(a) + ": tagged\n", other.out);
  EXPECT_NE(std::string::npos, Run({"read", a}).out.find("mode: 4\n"));
  if (!UnderWine()) {
    EXPECT_EQ("\"" + Path("b\\u000aline.pdf") + "\": tagged\n", Run({"check", b}).out);
  }
}

// --only names the files of one kind by their bare paths, which -0 ends
// with a NUL for xargs -0; a read counts a file without a tag as untagged.
// -q prints nothing but the failures.
TEST_F(DocmarkHostTest, OnlyAndQuietForPrograms) {
  ASSERT_EQ(0, mkdir(Path("tree").c_str(), 0755));
  std::string tagged = MakePdf("tree/a tagged.pdf");
  std::string untagged = MakePdf("tree/b untagged.pdf");
  std::string broken = Path("tree/c broken.pdf");
  WriteBytes(broken, "not a PDF\n");
  ASSERT_EQ(0, Run({"write", tagged}).exitCode);

  const std::vector<std::pair<std::vector<std::string>, std::string>> asked = {
      {{"check", "--only", "tagged", "-0"}, Native(tagged) + '\0'},
      {{"check", "--only", "untagged", "-0"}, Native(untagged) + '\0' + Native(broken) + '\0'},
      {{"read", "--only", "untagged"}, Native(untagged) + "\n"},
      {{"read", "--only", "failed", "-0"}, Native(broken) + '\0'}};
  for (const auto& [arguments, out] : asked) {
    std::vector<std::string> line = arguments;
    line.push_back(Path("tree"));
    EXPECT_EQ(out, Run(line).out);
  }
  Result quiet = Run({"write", "-q", Path("tree")});
  EXPECT_EQ(1, quiet.exitCode);
  EXPECT_EQ("", quiet.out);
  EXPECT_EQ("docmark_host: " + Native(broken) + ": not a PDF, or damaged\n", quiet.err);
  EXPECT_EQ(0, Run({"check", "-q", tagged, untagged}).exitCode);
}

// The library DOCMARK_LIBRARY names comes first, and alone: a copy of the
// program far from the kit finds it there, and a name that is wrong is an
// error even where the kit's library would be found.
TEST_F(DocmarkHostTest, TheLibraryThatTheEnvironmentNames) {
  std::string bin = std::filesystem::path(host_).parent_path();
  std::string library = UnderWine() ? bin + "/docmark.dll" : bin + "/../lib/libdocmark.so.7";
  ASSERT_EQ(0, mkdir(Path("far").c_str(), 0755));
  std::string copy = Path(UnderWine() ? "far/docmark_host.exe" : "far/docmark_host");
  ASSERT_EQ(0, system(("cp " + Quote(host_) + " " + Quote(copy)).c_str()));
  std::string file = MakePdf("a.pdf");

  ASSERT_EQ(0, setenv("DOCMARK_LIBRARY", Native(library).c_str(), 1));
  Result named = Run({"write", "-m", "3", file}, copy);
  ASSERT_EQ(0, setenv("DOCMARK_LIBRARY", Native(Path("none.so")).c_str(), 1));
  Result wrong = Run({"check", file});
  unsetenv("DOCMARK_LIBRARY");
  EXPECT_EQ(0, named.exitCode) << named.err;
  EXPECT_EQ(Native(file) + ": tagged\n", named.out);
  EXPECT_EQ(2, wrong.exitCode);
  EXPECT_EQ(0u, wrong.err.find("docmark_host: cannot load docmark: ")) << wrong.err;
  EXPECT_NE(std::string::npos, wrong.err.find("none.so")) << wrong.err;
}

// -P sets a written file's modification time back as it was.
TEST_F(DocmarkHostTest, KeepsTheModificationTime) {
  std::string file = MakePdf("a.pdf");
  struct timespec times[2] = {{1000000000, 0}, {1234567890, 0}};
  ASSERT_EQ(0, utimensat(AT_FDCWD, file.c_str(), times, 0));
  std::string before = pdf_maker::ReadFile(file);
  Result write = Run({"write", "-P", "-m", "3", file});
  EXPECT_EQ(0, write.exitCode) << write.err;
  EXPECT_NE(before, pdf_maker::ReadFile(file));
  struct stat status;
  ASSERT_EQ(0, stat(file.c_str(), &status));
  EXPECT_EQ(1234567890, status.st_mtim.tv_sec);
  EXPECT_EQ(0, status.st_mtim.tv_nsec);
}

size_t CountLines(const std::string& text) {
  return std::count(text.begin(), text.end(), '\n');
}

// A stop lets the files in hand finish and drops the rest. Each line is
// written as its file ends, so with stdout in a file every tagged file has
// its line; the summary follows, and the program ends by the signal.
TEST_F(DocmarkHostTest, AStopLosesNoLine) {
  if (UnderWine())
    GTEST_SKIP() << "POSIX signals";
  const int kFiles = 600;
  for (int number : {SIGINT, SIGTERM}) {
    std::string tree = Path("tree " + std::to_string(number));
    ASSERT_EQ(0, mkdir(tree.c_str(), 0755));
    std::string bytes = pdf_maker::ReadFile(MakePdf("source.pdf"));
    for (int i = 0; i < kFiles; ++i)
      WriteBytes(tree + "/" + std::to_string(1000 + i) + ".pdf", bytes);
    std::string out = Path("stop out");
    std::string err = Path("stop err");
    WriteBytes(out, "");
    WriteBytes(err, "");
    pid_t child = fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
      int outFd = open(out.c_str(), O_WRONLY);
      int errFd = open(err.c_str(), O_WRONLY);
      if (outFd < 0 || errFd < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0)
        _exit(126);
      execl(host_.c_str(), host_.c_str(), "write", "-j", "2", "-m", "5", tree.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    // Some files are done: the handler is in place, and most files are not.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (CountLines(pdf_maker::ReadFile(out)) < 5 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(0, kill(child, number));
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == number) << status;

    std::vector<std::string> lines = SortedLines(pdf_maker::ReadFile(out));
    EXPECT_LT(lines.size(), static_cast<size_t>(kFiles));
    std::string name = number == SIGINT ? "SIGINT" : "SIGTERM";
    EXPECT_EQ("docmark_host: " + std::to_string(lines.size()) + " tagged, 0 failed (stopped by " +
                  name + ")\n",
              pdf_maker::ReadFile(err));
    Result check = Run({"check", tree});
    std::vector<std::string> tagged;
    for (const std::string& line : SortedLines(check.out)) {
      if (line.size() > 8 && line.compare(line.size() - 8, 8, ": tagged") == 0)
        tagged.push_back(line);
      else
        EXPECT_EQ(": not tagged", line.substr(line.size() - 12)) << line;
    }
    EXPECT_EQ(tagged, lines);
    EXPECT_EQ(static_cast<size_t>(kFiles), SortedLines(check.out).size()) << "no file lost or left";
  }
}

// Permissions do not stop root.
TEST_F(DocmarkHostTest, UnreadableFilesAndDirectoriesAreNamed) {
  if (UnderWine() || geteuid() == 0)
    GTEST_SKIP() << "needs POSIX permissions that bind: not root, not Wine";
  ASSERT_EQ(0, mkdir(Path("tree").c_str(), 0755));
  ASSERT_EQ(0, mkdir(Path("tree/closed").c_str(), 0755));
  std::string good = MakePdf("tree/good.pdf");
  std::string hidden = MakePdf("tree/hidden.pdf");
  ASSERT_EQ(0, chmod(hidden.c_str(), 0));
  ASSERT_EQ(0, chmod(Path("tree/closed").c_str(), 0));
  Result write = Run({"write", "-j", "2", Path("tree")});
  chmod(Path("tree/closed").c_str(), 0755);
  EXPECT_EQ(1, write.exitCode);
  EXPECT_EQ(good + ": tagged\n", write.out);
  EXPECT_NE(std::string::npos, write.err.find(hidden + ": Permission denied")) << write.err;
  EXPECT_NE(std::string::npos, write.err.find(Path("tree/closed") + ": Permission denied"))
      << write.err;
}

// The library is looked for in ../lib beside the program, as once installed.
TEST_F(DocmarkHostTest, SaysWhenTheLibraryIsMissing) {
  ASSERT_EQ(0, mkdir(Path("bin").c_str(), 0755));
  std::string copy = Path(UnderWine() ? "bin/docmark_host.exe" : "bin/docmark_host");
  ASSERT_EQ(0, system(("cp " + Quote(host_) + " " + Quote(copy)).c_str()));
  Result result = Run({"check", MakePdf("a.pdf")}, copy);
  EXPECT_EQ(2, result.exitCode);
  EXPECT_EQ(0u, result.err.find("docmark_host: cannot load docmark: ")) << result.err;
}

// Under Wine: a file tagged by one system reads back the same on the other.
TEST_F(DocmarkHostTest, TagsReadTheSameOnLinuxAndWindows) {
  const char* posixHost = getenv("DOCMARK_LINUX_HOST");
  if (!UnderWine() || !posixHost)
    GTEST_SKIP() << "needs both programs";
  std::string byWindows = MakePdf("by windows.pdf");
  std::string byLinux = MakePdf("by linux.pdf");
  ASSERT_EQ(0, Run({"write", "-m", "9", "-a", "1200", "-C", byWindows}).exitCode);
  ASSERT_EQ(0, Run({"write", "-a", "77", "-A", "-S", byLinux}, posixHost).exitCode);
  for (const std::string& file : {byWindows, byLinux}) {
    Result windows = Run({"read", file});
    Result posix = Run({"read", file}, posixHost);
    EXPECT_EQ(0, windows.exitCode) << windows.err;
    EXPECT_EQ(posix.out, windows.out);
  }
}

// Under Wine: a file that another program holds open, sharing read and
// write but not delete, cannot be replaced by a save; that is told as the
// file being in use, and the file is left as it was.
TEST_F(DocmarkHostTest, AFileHeldOpenIsInUse) {
  const char* holder = getenv("DOCMARK_HOLD_OPEN");
  if (!UnderWine() || !holder)
    GTEST_SKIP() << "DOCMARK_HOLD_OPEN names the Windows program that holds a file open";
  std::string file = MakePdf("held.pdf");
  std::string before = pdf_maker::ReadFile(file);
  int input[2], output[2];
  ASSERT_EQ(0, pipe(input));
  ASSERT_EQ(0, pipe(output));
  pid_t child = fork();
  ASSERT_NE(-1, child);
  if (child == 0) {
    if (dup2(input[0], 0) < 0 || dup2(output[1], 1) < 0)
      _exit(126);
    close(input[1]);
    close(output[0]);
    execlp("wine", "wine", holder, Native(file).c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(input[0]);
  close(output[1]);
  char said[5] = {};
  ASSERT_EQ(4, read(output[0], said, 4));
  ASSERT_EQ("held", std::string(said));
  Result write = Run({"write", "--json", file});
  close(input[1]);
  close(output[0]);
  int status = 0;
  ASSERT_EQ(child, waitpid(child, &status, 0));
  EXPECT_EQ(1, write.exitCode);
  EXPECT_NE(std::string::npos, write.out.find("\"reason\": \"in-use\"")) << write.out;
  EXPECT_EQ(before, pdf_maker::ReadFile(file));
}

// The start-up record lists the Resource\Font folder beside the host's
// program when there is one, and then the CMap folder.
TEST_F(DocmarkHostTest, FontFolderBesideTheProgram) {
  const char* probe = getenv("DOCMARK_STARTUP_PROBE");
  if (!probe)
    GTEST_SKIP() << "DOCMARK_STARTUP_PROBE names the Windows start-up probe";
  ASSERT_EQ(0, mkdir(Path("kit").c_str(), 0755));
  std::string copy = Path("kit/docmark_startup_probe.exe");
  ASSERT_EQ(0, system(("cp " + Quote(probe) + " " + Quote(copy)).c_str()));
  std::string file = MakePdf("a.pdf");
  std::string kit = Native(Path("kit"));

  Result without = Run({file}, copy);
  EXPECT_EQ("font folders: 1\n" + kit + "\\Resource\\CMap\n", without.out) << without.err;

  ASSERT_EQ(0, mkdir(Path("kit/Resource").c_str(), 0755));
  ASSERT_EQ(0, mkdir(Path("kit/Resource/Font").c_str(), 0755));
  Result with = Run({file}, copy);
  EXPECT_EQ("font folders: 2\n" + kit + "\\Resource\\Font\n" + kit + "\\Resource\\CMap\n", with.out)
      << with.err;
}

// Longer than Windows' ordinary limit of 260: the staging file beside it is
// longer still, and the write leaves nothing else in the directory.
TEST_F(DocmarkHostTest, PathsOfAnyLength) {
  std::string directory = Path("");
  for (int level = 0; level < 6; ++level) {
    directory += std::string(50, 'd') + "/";
    ASSERT_EQ(0, mkdir(directory.c_str(), 0755));
  }
  std::string file = directory + "file.pdf";
  pdf_maker::WritePdf(file, {});
  for (int write = 0; write < 2; ++write) {
    Result written = Run({"write", "-m", "3", file});
    EXPECT_EQ(0, written.exitCode) << written.err;
    EXPECT_TRUE(pdf_maker::CheckOk(file));
  }
  Result read = Run({"read", file});
  EXPECT_EQ(0, read.exitCode) << read.err;
  Result walked = Run({"check", Path("")});
  EXPECT_EQ(0, walked.exitCode) << walked.err;
  EXPECT_NE(std::string::npos, walked.out.find("file.pdf: tagged")) << walked.out;
  struct stat status;
  ASSERT_EQ(0, stat(file.c_str(), &status));
  EXPECT_NE(std::string::npos, read.out.find("stored size: " + std::to_string(status.st_size)));
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    names.push_back(entry.path().filename());
  EXPECT_EQ(std::vector<std::string>{"file.pdf"}, names);
}

// Wine's first start in a fresh prefix sets the prefix up and talks about it.
class WineStart : public testing::Environment {
 public:
  void SetUp() override {
    if (UnderWine()) {
      ASSERT_EQ(0, system("wineboot -i >/dev/null 2>&1"));
    }
  }
};
const auto* const wineStart = testing::AddGlobalTestEnvironment(new WineStart);

}  // namespace
