#include "winlib/utf8_text.h"

#include <gtest/gtest.h>

namespace DuiLib {
namespace {

// Verifies round trips of ASCII, CJK and a character outside the basic plane.
TEST(Utf8TextTest, RoundTrips) {
  const std::string text = "ab \xE6\x91\x84\xE5\x83\x8F\xE5\xA4\xB4 \xF0\x9F\x98\x80";
  std::wstring wide = Utf8ToWide(text);
  EXPECT_EQ(wide.substr(0, 6), L"ab 摄像头");
  EXPECT_EQ(WideToUtf8(wide), text);
}

// Verifies that truncated, overlong and stray bytes become U+FFFD instead of being
// dropped silently or read past the end.
TEST(Utf8TextTest, ReplacesInvalidBytes) {
  EXPECT_EQ(Utf8ToWide("a\xE6\x91"), std::wstring(L"a\xFFFD"));
  EXPECT_EQ(Utf8ToWide("\xC0\xAF"), std::wstring(L"\xFFFD"));
  EXPECT_EQ(Utf8ToWide("\x80x"), std::wstring(L"\xFFFDx"));
  EXPECT_EQ(Utf8ToWide(""), std::wstring());
}

}  // namespace
}  // namespace DuiLib
