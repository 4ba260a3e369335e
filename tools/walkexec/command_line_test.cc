#include "command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitPatterns, CommasEndPiecesAndOnlyALastEmptyPieceIsDropped) {
  struct Case {
    const wchar_t* argument;
    std::vector<std::wstring> patterns;
  };
  const Case cases[] = {
      {L"*.txt,*", {L"*.txt", L"*"}},
      {L"*.txt,", {L"*.txt"}},
      {L",*.txt", {L"", L"*.txt"}},
      {L"a,,b", {L"a", L"", L"b"}},
      {L"", {}},
      {L",", {L""}},
      {L" a b ,c", {L" a b ", L"c"}},
      {L"*.c;*.h", {L"*.c;*.h"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(splitPatterns(c.argument), c.patterns) << c.argument;
}

}  // namespace
