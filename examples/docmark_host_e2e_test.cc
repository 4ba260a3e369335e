// docmark_host end to end: the real program, loading the real libdocmark,
// on real PDF files in a temporary directory. DOCMARK_HOST names the program.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "pdf_maker.h"

namespace {

struct Result {
  int exitCode;
  std::string out;
  std::string err;
};

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

  Result Run(const std::vector<std::string>& arguments, std::string program = "") {
    std::string line = Quote(program.empty() ? host_ : program);
    for (const std::string& argument : arguments)
      line += " " + Quote(argument);
    line += " >" + Quote(Path("out")) + " 2>" + Quote(Path("err"));
    int status = system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, pdf_maker::ReadFile(Path("out")),
            pdf_maker::ReadFile(Path("err"))};
  }

  pdf_maker::ScratchDirectory scratch_;
  std::string host_;
};

TEST_F(DocmarkHostTest, WriteThenReadAndCheck) {
  pdf_maker::PdfOptions linearized;
  linearized.linearize = true;
  pdf_maker::PdfOptions withXmp;
  withXmp.xmp = pdf_maker::SimpleXmp();
  std::string plain = MakePdf("plain.pdf");
  std::string fast = MakePdf("fast web.pdf", linearized);
  std::string xmp = MakePdf("it's xmp.pdf", withXmp);

  Result check = Run({"check", plain});
  EXPECT_EQ(1, check.exitCode);
  EXPECT_EQ(plain + ": not tagged\n", check.out);

  Result write = Run({"write", "-m", "17", "-a", "70000", "-B", "-S", plain, fast, xmp});
  EXPECT_EQ(0, write.exitCode) << write.err;
  EXPECT_EQ(plain + ": tagged\n" + fast + ": tagged\n" + xmp + ": tagged\n", write.out);
  EXPECT_TRUE(pdf_maker::CheckOk(fast));
  EXPECT_TRUE(pdf_maker::IsLinearized(fast));

  Result read = Run({"read", xmp});
  EXPECT_EQ(0, read.exitCode) << read.err;
  struct stat status;
  ASSERT_EQ(0, stat(xmp.c_str(), &status));
  EXPECT_EQ("version: 7.9.9\nwriter flag: 1\nmode: 1\namount: 4464\n"
            "option A: 0\noption B: 1\noption C: 0\nstored size: " +
                std::to_string(status.st_size) + "\n",
            read.out);

  Result all = Run({"check", plain, fast, xmp});
  EXPECT_EQ(0, all.exitCode);
  EXPECT_EQ(plain + ": tagged\n" + fast + ": tagged\n" + xmp + ": tagged\n", all.out);
}

TEST_F(DocmarkHostTest, DefaultsWriteZeroSettingsAndTheDFlag) {
  std::string file = MakePdf("a.pdf");
  ASSERT_EQ(0, Run({"write", file}).exitCode);
  Result read = Run({"read", file});
  EXPECT_NE(std::string::npos,
            read.out.find("writer flag: 0\nmode: 0\namount: 0\n"
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
  std::string file = MakePdf("caf\xe9 $(x).pdf");
  Result write = Run({"write", "-A", file});
  EXPECT_EQ(0, write.exitCode) << write.err;
  EXPECT_EQ(0, Run({"check", file}).exitCode);
}

TEST_F(DocmarkHostTest, FailuresSayWhatWentWrong) {
  std::string missing = Path("missing.pdf");
  std::string text = Path("notes.txt");
  std::ofstream(text) << "not a PDF\n";
  std::string plain = MakePdf("plain.pdf");

  Result check = Run({"check", missing, plain});
  EXPECT_EQ(1, check.exitCode);
  EXPECT_EQ(plain + ": not tagged\n", check.out);
  EXPECT_EQ("docmark_host: " + missing + ": No such file or directory\n", check.err);

  Result read = Run({"read", text});
  EXPECT_EQ(1, read.exitCode);
  EXPECT_EQ("", read.out);
  EXPECT_EQ("docmark_host: " + text + ": no valid tag, or not a PDF that can be read\n", read.err);

  Result write = Run({"write", text, missing});
  EXPECT_EQ(1, write.exitCode);
  EXPECT_EQ("not a PDF\n", pdf_maker::ReadFile(text));
  EXPECT_NE(std::string::npos, write.err.find(text + ": the tag could not be written"));
  EXPECT_NE(std::string::npos, write.err.find(missing + ": No such file or directory"));

  pdf_maker::PdfOptions locked;
  locked.encryptNoModify = true;
  std::string encrypted = MakePdf("locked.pdf", locked);
  std::string before = pdf_maker::ReadFile(encrypted);
  EXPECT_EQ(1, Run({"write", encrypted}).exitCode);
  EXPECT_EQ(before, pdf_maker::ReadFile(encrypted));

  ASSERT_EQ(0, chmod(plain.c_str(), 0444));
  before = pdf_maker::ReadFile(plain);
  EXPECT_EQ(1, Run({"write", plain}).exitCode);
  EXPECT_EQ(before, pdf_maker::ReadFile(plain));
}

TEST_F(DocmarkHostTest, BadCommandLinesShowTheUsage) {
  std::string file = MakePdf("a.pdf");
  const std::vector<std::vector<std::string>> lines = {
      {}, {"tag", file}, {"check"}, {"read"}, {"read", file, file}, {"write", "-x", file},
      {"write", "-m"}};
  for (const auto& arguments : lines) {
    Result result = Run(arguments);
    EXPECT_EQ(2, result.exitCode);
    EXPECT_NE(std::string::npos, result.err.find("usage: docmark_host check FILE...")) << result.err;
  }
  Result number = Run({"write", "-a", "12x", file});
  EXPECT_EQ(2, number.exitCode);
  EXPECT_EQ("docmark_host: -a needs a 32-bit integer, not \"12x\"\n", number.err);
}

// The library is looked for in ../lib beside the program, as once installed.
TEST_F(DocmarkHostTest, SaysWhenTheLibraryIsMissing) {
  ASSERT_EQ(0, mkdir(Path("bin").c_str(), 0755));
  std::string copy = Path("bin/docmark_host");
  ASSERT_EQ(0, system(("cp " + Quote(host_) + " " + Quote(copy)).c_str()));
  Result result = Run({"check", MakePdf("a.pdf")}, copy);
  EXPECT_EQ(2, result.exitCode);
  EXPECT_EQ(0u, result.err.find("docmark_host: cannot load docmark: ")) << result.err;
}

}  // namespace
