#include "winlib/skin_values.h"

#include <climits>
#include <cstdint>
#include <utility>

#include <gtest/gtest.h>

namespace DuiLib {
namespace {

// Verifies colour forms: #AARRGGBB as given, #RRGGBB opaque, 0x prefix, junk falls back.
TEST(SkinValuesTest, ParsesColours) {
  EXPECT_EQ(ParseColor(L"#80112233"), 0x80112233u);
  EXPECT_EQ(ParseColor(L"#112233"), 0xFF112233u);
  EXPECT_EQ(ParseColor(L"0xff2D7FF9"), 0xFF2D7FF9u);
  EXPECT_EQ(ParseColor(L"  #FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseColor(L"#12345", 7), 7u);
  EXPECT_EQ(ParseColor(L"#GG112233", 7), 7u);
  EXPECT_EQ(ParseColor(L"red", 9), 9u);
  EXPECT_EQ(ParseColor(L"", 3), 3u);
}

// Verifies rectangles, sizes and integers: missing parts are 0, signs and spaces are read,
// text without a number is refused.
TEST(SkinValuesTest, ParsesNumbersRectsAndSizes) {
  SkinRect r;
  ASSERT_TRUE(ParseRect(L"1, 2,3 ,-4", &r));
  EXPECT_EQ(r, (SkinRect{1, 2, 3, -4}));
  ASSERT_TRUE(ParseRect(L"5,6", &r));
  EXPECT_EQ(r, (SkinRect{5, 6, 0, 0}));
  EXPECT_FALSE(ParseRect(L"abc", &r));
  SkinSize s;
  ASSERT_TRUE(ParseSize(L"420,180", &s));
  EXPECT_EQ(s.cx, 420);
  EXPECT_EQ(s.cy, 180);
  EXPECT_FALSE(ParseSize(L"", &s));
  EXPECT_EQ(ParseInt(L"+12"), 12);
  EXPECT_EQ(ParseInt(L"x", -1), -1);
  EXPECT_TRUE(ParseBool(L"TRUE"));
  EXPECT_TRUE(ParseBool(L"2"));
  EXPECT_FALSE(ParseBool(L"false"));
  EXPECT_FALSE(ParseBool(L"yes"));
}

// Verifies image descriptions: a plain path, and key='value' lists with dest, source,
// corner and a clamped fade; unknown keys and unterminated quotes do no harm.
TEST(SkinValuesTest, ParsesImageDescriptions) {
  ImageDescription plain = ParseImageDescription(L" img\\LawIcon\\摄像头.png ");
  EXPECT_EQ(plain.file, L"img\\LawIcon\\摄像头.png");
  EXPECT_FALSE(plain.has_dest);

  ImageDescription d = ParseImageDescription(
      L"file='img\\checkbox_selected.png' dest='4,10,20,26' source=\"0,0,16,16\" corner='6,6,6,6' fade='300' x='1'");
  EXPECT_EQ(d.file, L"img\\checkbox_selected.png");
  ASSERT_TRUE(d.has_dest);
  EXPECT_EQ(d.dest, (SkinRect{4, 10, 20, 26}));
  ASSERT_TRUE(d.has_source);
  EXPECT_EQ(d.source, (SkinRect{0, 0, 16, 16}));
  EXPECT_EQ(d.corner, (SkinRect{6, 6, 6, 6}));
  EXPECT_EQ(d.fade, 255);

  ImageDescription broken = ParseImageDescription(L"file='a.png' dest='1,2");
  EXPECT_EQ(broken.file, L"a.png");
  EXPECT_EQ(broken.dest, (SkinRect{1, 2, 0, 0}));
  EXPECT_TRUE(ParseImageDescription(L"").empty());
}

// Verifies that numbers beyond int saturate rather than wrap: a width of 3000000000 must
// not become a negative one, nor -3000000000 a positive one; digits past any length are read
// without overflow, and a rectangle spanning more than int reports a saturated size.
TEST(SkinValuesTest, NumbersBeyondIntSaturate) {
  EXPECT_EQ(ParseInt(L"2147483647"), INT_MAX);
  EXPECT_EQ(ParseInt(L"-2147483648"), INT_MIN);
  EXPECT_EQ(ParseInt(L"2147483648"), INT_MAX);
  EXPECT_EQ(ParseInt(L"3000000000"), INT_MAX);
  EXPECT_EQ(ParseInt(L"-3000000000"), INT_MIN);
  EXPECT_EQ(ParseInt(L"99999999999999999999999999999999"), INT_MAX);
  EXPECT_EQ(ParseInt(L"-0"), 0);
  SkinRect r;
  ASSERT_TRUE(ParseRect(L"-3000000000,0,3000000000,10", &r));
  EXPECT_EQ(r, (SkinRect{INT_MIN, 0, INT_MAX, 10}));
  EXPECT_EQ(r.Width(), INT_MAX);
  EXPECT_EQ((SkinRect{INT_MAX, 0, INT_MIN, 0}).Width(), INT_MIN);
  SkinSize s;
  ASSERT_TRUE(ParseSize(L"4294967297,-4294967297", &s));
  EXPECT_EQ(s.cx, INT_MAX);
  EXPECT_EQ(s.cy, INT_MIN);
}

// Verifies where number lists stop: at the first item without digits, after a dangling
// comma or sign, and that a trailing unit or junk ends the number without losing it.
TEST(SkinValuesTest, NumberListsStopAtTheFirstNonNumber) {
  SkinRect r;
  ASSERT_TRUE(ParseRect(L"1,2,x,4", &r));
  EXPECT_EQ(r, (SkinRect{1, 2, 0, 0}));
  ASSERT_TRUE(ParseRect(L"7,", &r));
  EXPECT_EQ(r, (SkinRect{7, 0, 0, 0}));
  ASSERT_TRUE(ParseRect(L"\t3 ,\n4", &r));
  EXPECT_EQ(r, (SkinRect{3, 4, 0, 0}));
  EXPECT_FALSE(ParseRect(L"-", &r));
  EXPECT_FALSE(ParseRect(L",1", &r));
  EXPECT_EQ(ParseInt(L"12px"), 12);
  EXPECT_EQ(ParseInt(L"--1", 5), 5);
  EXPECT_EQ(ParseInt(L" -7 "), -7);
  EXPECT_EQ(ParseInt(L"1,2"), 1);
  EXPECT_FALSE(ParseBool(L""));
  EXPECT_FALSE(ParseBool(L"0"));
  EXPECT_TRUE(ParseBool(L"-1"));
  EXPECT_TRUE(ParseBool(L"True"));
}

// Verifies colour edge cases: 6 and 8 digits only, both prefixes in either case, trailing
// blanks allowed but no trailing junk, and digits of every kind of case.
TEST(SkinValuesTest, ColourEdgeCases) {
  const std::pair<const wchar_t*, uint32_t> cases[] = {
      {L"#00000000", 0u},
      {L"0X00FF00", 0xFF00FF00u},
      {L"#aBcDeF", 0xFFABCDEFu},
      {L"#FF112233 ", 0xFF112233u},
      {L"#FF112233x", 4u},
      {L"#1FF112233", 4u},
      {L"#1234567", 4u},
      {L"#", 4u},
      {L"0x", 4u},
      {L"x12345678", 4u},
      {L"#-12345", 4u},
      {L"#１２３４５６", 4u},  // full-width digits are no hex digits
  };
  for (const auto& [text, colour] : cases) EXPECT_EQ(ParseColor(text, 4), colour) << text;
}

// Verifies image descriptions with double quotes, spaces around '=', "res" for the file,
// negative fades clamped to 0, values without quotes and keys in any case.
TEST(SkinValuesTest, ImageDescriptionForms) {
  ImageDescription d = ParseImageDescription(L"res = \"img\\a b.png\" fade=-20 source=1,2,3,4");
  EXPECT_EQ(d.file, L"img\\a b.png");
  EXPECT_EQ(d.fade, 0);
  ASSERT_TRUE(d.has_source);
  EXPECT_EQ(d.source, (SkinRect{1, 2, 3, 4}));
  EXPECT_FALSE(d.has_dest);

  ImageDescription bad_dest = ParseImageDescription(L"file='a.png' dest='none'");
  EXPECT_FALSE(bad_dest.has_dest);
  ImageDescription empty_value = ParseImageDescription(L"file=");
  EXPECT_TRUE(empty_value.empty());
  EXPECT_EQ(ParseImageDescription(L"FILE='x.png' FADE='128'").fade, 128);
}

}  // namespace
}  // namespace DuiLib
