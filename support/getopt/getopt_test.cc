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
  std::vector<std::wstring> operands;  // From firstOperand on, as they stand then.
};

Parse ParseWords(std::vector<std::wstring> words) {
  std::vector<wchar_t*> argv;
  for (std::wstring& w : words)
    argv.push_back(&w[0]);
  argv.push_back(nullptr);
  optind = 1;
  Parse parse;
  for (int c; (c = getopt_w(int(words.size()), argv.data(), L"p:c:e:")) != -1;) {
    std::wstring entry(1, wchar_t(c));
    if (optarg_w)
      entry += L"=" + std::wstring(optarg_w);
    parse.seen.push_back(entry);
  }
  parse.firstOperand = optind;
  for (int at = optind; at < int(words.size()); ++at)
    parse.operands.push_back(argv[at]);
  return parse;
}

TEST(Getopt, ArgumentsAttachedOrAsTheNextWord) {
  Parse p = ParseWords({L"w", L"-p*.txt", L"-c", L"echo @path", L"-e", L"", L"dir"});
  EXPECT_EQ(p.seen, (std::vector<std::wstring>{L"p=*.txt", L"c=echo @path", L"e="}));
  EXPECT_EQ(p.firstOperand, 6);
}

// Options after operands are read as options, each with its argument, and
// the operands keep their order behind them; after "--" every word is an
// operand, and "-" alone is one.
TEST(Getopt, OptionsAnywhereComeFirstAndDoubleDashEndsThem) {
  Parse p = ParseWords({L"w", L"dir", L"-p", L"x"});
  EXPECT_EQ(p.seen, (std::vector<std::wstring>{L"p=x"}));
  EXPECT_EQ(p.firstOperand, 3);
  EXPECT_EQ(p.operands, (std::vector<std::wstring>{L"dir"}));

  p = ParseWords({L"w", L"a", L"-c", L"-p", L"b", L"-ep", L"-", L"--", L"-e", L"c"});
  EXPECT_EQ(p.seen, (std::vector<std::wstring>{L"c=-p", L"e=p"}));
  EXPECT_EQ(p.operands, (std::vector<std::wstring>{L"a", L"b", L"-", L"-e", L"c"}));

  p = ParseWords({L"w", L"--", L"-p"});
  EXPECT_TRUE(p.seen.empty());
  EXPECT_EQ(p.firstOperand, 2);

  p = ParseWords({L"w", L"-", L"x"});
  EXPECT_EQ(p.firstOperand, 1);

  // An operand before an option that lacks its argument is no argument.
  EXPECT_EQ(ParseWords({L"w", L"dir", L"-p"}).seen, (std::vector<std::wstring>{L"?"}));
}

TEST(Getopt, UnknownOptionAndMissingArgumentGiveQuestionMark) {
  EXPECT_EQ(ParseWords({L"w", L"-h", L"dir"}).seen, (std::vector<std::wstring>{L"?"}));
  EXPECT_EQ(ParseWords({L"w", L"-?"}).seen, (std::vector<std::wstring>{L"?"}));
  Parse p = ParseWords({L"w", L"-p"});
  EXPECT_EQ(p.seen, (std::vector<std::wstring>{L"?"}));
  EXPECT_EQ(p.firstOperand, 2);
}

}  // namespace
