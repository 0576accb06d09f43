#include "winlib/skin_values.h"

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
  EXPECT_EQ(ParseInt(L"99999999999999"), ParseInt(L"99999999999999"));  // saturates, no overflow trap
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

}  // namespace
}  // namespace DuiLib
