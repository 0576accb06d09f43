#include <gtest/gtest.h>

#include "winlib/dui_string.h"

namespace {

using DuiLib::CDuiString;

// Verifies Microsoft-style formatting (%s takes a wide string) and long results.
TEST(DuiStringTest, FormatsWithWideStrings) {
  CDuiString s;
  EXPECT_EQ(s.Format(L"分组ID：%s", L"room1"), 10);
  EXPECT_EQ(s, CDuiString(L"分组ID：room1"));
  s.Format(L"%s 请求远程控制 %d", L"alice", -5);
  EXPECT_EQ(s, CDuiString(L"alice 请求远程控制 -5"));
  std::wstring big(1000, L'x');
  s.Format(L"[%s]", big.c_str());
  EXPECT_EQ(s.GetLength(), 1002);
}

// Verifies comparisons, searching, slicing and replacing, including out-of-range input.
TEST(DuiStringTest, ComparesSlicesAndReplaces) {
  CDuiString s(L"Hello World");
  EXPECT_EQ(s.CompareNoCase(L"hello world"), 0);
  EXPECT_NE(s.Compare(L"hello world"), 0);
  EXPECT_EQ(s.Find(L'o'), 4);
  EXPECT_EQ(s.Find(L"World"), 6);
  EXPECT_EQ(s.ReverseFind(L'o'), 7);
  EXPECT_EQ(s.Mid(6), CDuiString(L"World"));
  EXPECT_EQ(s.Mid(50), CDuiString(L""));
  EXPECT_EQ(s.Left(-3), CDuiString(L""));
  EXPECT_EQ(s.Right(100), s);
  EXPECT_EQ(s.GetAt(99), L'\0');
  EXPECT_EQ(s.Replace(L"o", L"0"), 2);
  EXPECT_EQ(s, CDuiString(L"Hell0 W0rld"));
  CDuiString n(nullptr);
  EXPECT_TRUE(n.IsEmpty());
  EXPECT_EQ(CDuiString(L"abcdef", 3), CDuiString(L"abc"));
}

}  // namespace
