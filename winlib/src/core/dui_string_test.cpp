#include <gtest/gtest.h>

#include <string>

#include "winlib/dui_string.h"

namespace {

using DuiLib::CDuiString;

// Verifies formatting with wide strings (%ls) and long results.
TEST(DuiStringTest, FormatsWithWideStrings) {
  CDuiString s;
  EXPECT_EQ(s.Format(L"分组ID：%ls", L"room1"), 10);
  EXPECT_EQ(s, CDuiString(L"分组ID：room1"));
  s.Format(L"%ls 请求远程控制 %d", L"alice", -5);
  EXPECT_EQ(s, CDuiString(L"alice 请求远程控制 -5"));
  std::wstring big(1000, L'x');
  s.Format(L"[%ls]", big.c_str());
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

// Verifies edges: a replacement that contains what it replaces ends, an empty pattern
// replaces nothing, searches from past the end find nothing, slices clamp, and a result
// that passes the formatting limit is refused (empty) rather than cut.
TEST(DuiStringTest, EdgesOfSearchingReplacingAndFormatting) {
  CDuiString s(L"aaa");
  EXPECT_EQ(s.Replace(L"a", L"aa"), 3);
  EXPECT_EQ(s, CDuiString(L"aaaaaa"));
  EXPECT_EQ(s.Replace(L"", L"x"), 0);
  EXPECT_EQ(s.Replace(L"aa", nullptr), 3);
  EXPECT_TRUE(s.IsEmpty());
  CDuiString t(L"abcabc");
  EXPECT_EQ(t.Find(L'c', 3), 5);
  EXPECT_EQ(t.Find(L'c', 6), -1);
  EXPECT_EQ(t.Find(L'c', 100), -1);
  EXPECT_EQ(t.Find(L"abc", 1), 3);
  EXPECT_EQ(t.Find(L"abc", 100), -1);
  EXPECT_EQ(t.Find(nullptr), -1);
  EXPECT_EQ(t.Mid(-5, 2), CDuiString(L"ab"));
  EXPECT_EQ(t.Mid(4, 100), CDuiString(L"bc"));
  EXPECT_EQ(t.Right(2), CDuiString(L"bc"));
  EXPECT_EQ(t.Left(100), t);
  EXPECT_EQ(t.GetAt(-1), L'\0');
  EXPECT_EQ(CDuiString(L"abc", 0), CDuiString(L""));
  EXPECT_EQ(CDuiString(L"ab", 10), CDuiString(L"ab"));
  EXPECT_LT(CDuiString(L"a").CompareNoCase(L"B"), 0);
  EXPECT_EQ(CDuiString(L"").CompareNoCase(nullptr), 0);

  CDuiString f;
  EXPECT_EQ(f.Format(L"%ls", std::wstring(255, L'x').c_str()), 255);
  EXPECT_EQ(f.GetLength(), 255);
  EXPECT_EQ(f.Format(L"%ls", std::wstring(256, L'y').c_str()), 256);
  EXPECT_EQ(f, CDuiString(std::wstring(256, L'y')));
  const std::wstring huge(3u << 20, L'z');
  EXPECT_EQ(f.Format(L"%ls", huge.c_str()), 0);
  EXPECT_TRUE(f.IsEmpty());
}

}  // namespace
