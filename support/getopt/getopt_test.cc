#include "getopt.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Runs getopt_w over the words and records "letter[=argument]" and the
// index of the first operand.
struct Parse {
  std::vector<std::wstring> seen;
  int firstOperand;
};

Parse ParseWords(std::vector<std::wstring> words) {
  std::vector<wchar_t*> argv;
  for (std::wstring& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);
  optind = 1;
  Parse parse;
  for (int c; (c = getopt_w(int(words.size()), argv.data(), L"p:c:e:")) != -1;) {
    std::wstring entry(1, wchar_t(c));
    if (optarg_w) entry += L"=" + std::wstring(optarg_w);
    parse.seen.push_back(entry);
  }
  parse.firstOperand = optind;
  return parse;
}

TEST(Getopt, ArgumentsAttachedOrAsTheNextWord) {
  Parse p = ParseWords({L"w", L"-p*.txt", L"-c", L"echo @path", L"-e", L"", L"dir"});
  EXPECT_EQ(p.seen, (std::vector<std::wstring>{L"p=*.txt", L"c=echo @path", L"e="}));
  EXPECT_EQ(p.firstOperand, 6);
}

TEST(Getopt, OptionsEndAtTheFirstOperandOrAtDoubleDash) {
  Parse p = ParseWords({L"w", L"dir", L"-p", L"x"});
  EXPECT_TRUE(p.seen.empty());
  EXPECT_EQ(p.firstOperand, 1);

  p = ParseWords({L"w", L"--", L"-p"});
  EXPECT_TRUE(p.seen.empty());
  EXPECT_EQ(p.firstOperand, 2);

  p = ParseWords({L"w", L"-", L"x"});
  EXPECT_EQ(p.firstOperand, 1);
}

TEST(Getopt, UnknownOptionAndMissingArgumentGiveQuestionMark) {
  EXPECT_EQ(ParseWords({L"w", L"-h", L"dir"}).seen, (std::vector<std::wstring>{L"?"}));
  EXPECT_EQ(ParseWords({L"w", L"-?"}).seen, (std::vector<std::wstring>{L"?"}));
  Parse p = ParseWords({L"w", L"-p"});
  EXPECT_EQ(p.seen, (std::vector<std::wstring>{L"?"}));
  EXPECT_EQ(p.firstOperand, 2);
}

}  // namespace
