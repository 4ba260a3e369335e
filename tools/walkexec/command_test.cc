#include "command.h"

#include <gtest/gtest.h>

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

}  // namespace
