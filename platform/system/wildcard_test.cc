#include "wildcard.h"

#include <gtest/gtest.h>

#include <clocale>

namespace {

TEST(Wildcard, ShellAnswers) {
  // Upper-casing beyond ASCII follows the character type locale, as in walkexec.
  ASSERT_TRUE(std::setlocale(LC_CTYPE, "C.UTF-8"));
  struct Case {
    const wchar_t* name;
    const wchar_t* pattern;
    bool match;
  } cases[] = {
      {L"a.txt", L"*.txt", true},     {L"A.TXT", L"*.txt", true},
      {L"a.txt.bak", L"*.txt", false}, {L".txt", L"*.txt", true},
      {L"abc", L"*", true},           {L"", L"*", true},
      {L"noext", L"*.*", true},       {L"noext", L"*.", false},
      {L"a.b", L"?.?", true},         {L"ab", L"?", false},
      {L"a.b", L"a?b", true},         {L"abc", L"a*c*", true},
      {L"abc", L"", false},           {L"x", L"x", true},
      {L"aXbXc", L"*b*c", true},      {L"mississippi", L"*ss*pi", true},
      {L"été.txt", L"ÉTÉ.*", true},   {L"[a].txt", L"[a].txt", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(MatchWildcard(c.name, c.pattern), c.match) << c.name << " ~ " << c.pattern;
}

TEST(Wildcard, ListsSkipLeadingBlanksOnly) {
  EXPECT_TRUE(MatchWildcardList(L"a.dat", L"*.txt; *.dat"));
  EXPECT_FALSE(MatchWildcardList(L"a.dat", L"*.txt;*.dat "));
  EXPECT_FALSE(MatchWildcardList(L"a.dat", L";"));
}

}  // namespace
