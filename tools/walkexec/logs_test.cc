#include "logs.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "text.h"

namespace {

class LogFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/walkexec_log_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  void TearDown() override { system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string read(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string dir_;
};

TEST_F(LogFailure, AppendsUtf16leLinesAfterEarlierContent) {
  std::string path = dir_ + "/log";
  std::ofstream(path, std::ios::binary) << "old";
  ExitLog log(std::wstring(path.begin(), path.end()), L"failure log", ExitLog::kPlain);
  log.append(1, L"t/a b");
  log.append(-2147483647 - 1, L"\u00E9");
  EXPECT_FALSE(log.lostLines());
  EXPECT_EQ(read(path), std::string("old"
                                    "1\0,\0t\0/\0a\0 \0b\0\r\0\n\0"
                                    "-\0"
                                    "2\0"
                                    "1\0"
                                    "4\0"
                                    "7\0"
                                    "4\0"
                                    "8\0"
                                    "3\0"
                                    "6\0"
                                    "4\0"
                                    "8\0"
                                    ",\0\xE9\0\r\0\n\0",
                                    3 + 2 * 9 + 2 * 15));
}

// The job log escapes what would end a line; a line written before it did
// still means what it meant; a last line cut off is ended before the run
// appends, so that what follows is a line of its own.
TEST_F(LogFailure, TheJobLogReadsBackEveryPathAndMendsItsCutEnd) {
  std::string path = dir_ + "/log";
  std::wstring wide(path.begin(), path.end());
  const std::wstring names[] = {L"t/f\r\nbackup", L"a|b", L"c|r", L"\r", L"||n"};
  ExitLog log(wide, L"job log", ExitLog::kEscaped);
  for (const std::wstring& name : names)
    log.append(0, name);
  log.append(1, L"t/f");
  std::unordered_set<std::string> succeeded, expected;
  std::wstring reason;
  ASSERT_TRUE(resumeFrom(wide, succeeded, reason)) << std::string(reason.begin(), reason.end());
  for (const std::wstring& name : names)
    expected.insert(os::utf16leBytes(name));
  EXPECT_EQ(succeeded, expected);

  // Older lines: a '|' before anything else is itself.
  std::ofstream(path, std::ios::binary) << os::utf16leBytes(L"0,x|y\r\n0,z|\r\n");
  succeeded.clear();
  ASSERT_TRUE(resumeFrom(wide, succeeded, reason));
  EXPECT_EQ(succeeded,
            (std::unordered_set<std::string>{os::utf16leBytes(L"x|y"), os::utf16leBytes(L"z|")}));

  const std::string done = os::utf16leBytes(L"0,a\r\n");
  for (const std::string& cut : {done + "0", done + std::string("0\0,\0b", 5),
                                 done + std::string(5, '\0'), done + std::string("\r\0", 2)}) {
    std::ofstream(path, std::ios::binary) << cut;
    succeeded.clear();
    ASSERT_TRUE(resumeFrom(wide, succeeded, reason));
    std::string mended = read(path);
    ASSERT_EQ(mended.size() % 2, 0u) << mended.size();
    EXPECT_EQ(mended.compare(0, done.size(), done), 0);
    EXPECT_EQ(mended.substr(mended.size() - 4), std::string("\r\0\n\0", 4));
    ExitLog(wide, L"job log", ExitLog::kEscaped).append(0, L"c");
    succeeded.clear();
    ASSERT_TRUE(resumeFrom(wide, succeeded, reason));
    EXPECT_EQ(succeeded,
              (std::unordered_set<std::string>{os::utf16leBytes(L"a"), os::utf16leBytes(L"c")}));
  }

  // A first line cut shorter than a line end.
  std::ofstream(path, std::ios::binary) << std::string("0\0,", 3);
  succeeded.clear();
  ASSERT_TRUE(resumeFrom(wide, succeeded, reason));
  ExitLog(wide, L"job log", ExitLog::kEscaped).append(0, L"c");
  succeeded.clear();
  ASSERT_TRUE(resumeFrom(wide, succeeded, reason));
  EXPECT_EQ(succeeded, (std::unordered_set<std::string>{os::utf16leBytes(L"c")}));
}

}  // namespace
