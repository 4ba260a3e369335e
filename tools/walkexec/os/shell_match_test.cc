#include "shell_match.h"

#include <gtest/gtest.h>

namespace os {
namespace {

TEST(ShellMatch, MatchesLikeTheWindowsShell) {
  struct Case {
    const wchar_t* name;
    const wchar_t* pattern;
    bool matches;
  };
  const Case cases[] = {
      {L"a.txt", L"*.txt", true}, {L"a.txt.bak", L"*.txt", false},
      {L"A.TXT", L"*.txt", true}, {L"\u00E9t\u00E9.txt", L"\u00C9T\u00C9.*", true},
      {L".txt", L"*.txt", true},  {L"anything", L"*", true},
      {L".", L"*", true},         {L"noext", L"*.*", true},
      {L"noext", L"*.", false},   {L"a.b", L"?.?", true},
      {L"ab", L"?", false},       {L"a.", L"a?", true},
      {L"abcbd", L"a*bd", true},  {L"abcbx", L"a*b?d", false},
      {L"aXbXc", L"*X*X*", true}, {L"abc", L"abc*", true},
      {L"abc", L"", false},       {L"", L"*", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(shellMatch(c.name, c.pattern), c.matches) << "'" << c.name << "' '" << c.pattern;
}

// One pattern, as it stands: a ';' splits nothing and no blank is skipped.
TEST(ShellMatch, BlanksAndSemicolonsBelongToThePattern) {
  EXPECT_TRUE(shellMatch(L"a;b", L"a;b"));
  EXPECT_FALSE(shellMatch(L"b", L"a;b"));
  EXPECT_TRUE(shellMatch(L" x", L" x"));
  EXPECT_FALSE(shellMatch(L"x", L" x"));
  EXPECT_FALSE(shellMatch(L"b.dat", L"*.txt;  *.dat"));
  EXPECT_FALSE(shellMatch(L"b.dat", L"*.dat "));
}

}  // namespace
}  // namespace os
