#include "command.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

TEST(ReplaceAll, ReplacesEveryOccurrenceLeftToRight) {
  struct Case {
    const wchar_t* text;
    const wchar_t* token;
    const wchar_t* replacement;
    const wchar_t* result;
  };
  const Case cases[] = {
      {L"cp @path @path.bak", L"@path", L"'x'", L"cp 'x' 'x'.bak"},
      {L"echo @PATH", L"@path", L"'x'", L"echo @PATH"},
      {L"true", L"@path", L"'x'", L"true"},
      {L"@path", L"@path", L"'@path'", L"'@path'"},
      {L"@path@path", L"@path", L"", L""},
      {L"abc", L"", L"x", L"abc"},
  };
  for (const Case& c : cases) {
    std::wstring text = c.text;
    replaceAll(text, c.token, c.replacement);
    EXPECT_EQ(text, c.result) << c.text;
  }
}

class LogFailure : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/walkexec_log_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  void TearDown() override { system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string dir_;
};

TEST_F(LogFailure, AppendsUtf16leLinesAfterEarlierContent) {
  std::string path = dir_ + "/log";
  std::ofstream(path, std::ios::binary) << "old";
  ExitLog log(std::wstring(path.begin(), path.end()), L"failure log");
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

}  // namespace
