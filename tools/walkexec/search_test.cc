#include "search.h"

#include "directory_search.h"

#include <gtest/gtest.h>

namespace {

TEST(JoinPath, AddsOneSeparatorUnlessThePathEndsInOne) {
  const std::wstring sep(1, os::kPathSeparator);
  EXPECT_EQ(joinPath(L"dir", L"a.txt"), L"dir" + sep + L"a.txt");
  EXPECT_EQ(joinPath(L"dir" + sep, L"a.txt"), L"dir" + sep + L"a.txt");
  EXPECT_EQ(joinPath(L".", L"*"), L"." + sep + L"*");
  EXPECT_EQ(joinPath(sep, L"*"), sep + L"*");
  EXPECT_EQ(joinPath(L"", L"*"), L"*");
}

}  // namespace
