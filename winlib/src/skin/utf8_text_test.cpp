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

// Verifies the boundaries of each sequence length in both directions, with characters
// outside the basic plane as surrogate pairs where wide characters have 16 bits.
TEST(Utf8TextTest, SequenceLengthBoundaries) {
  struct Case {
    const char* utf8;
    std::wstring wide;
  };
  const Case cases[] = {
      {"\x7F", L"\x7F"},
      {"\xC2\x80", L"\x80"},
      {"\xDF\xBF", L"\x7FF"},
      {"\xE0\xA0\x80", L"\x800"},
      {"\xED\x9F\xBF", L"\xD7FF"},
      {"\xEE\x80\x80", L"\xE000"},
      {"\xEF\xBF\xBF", L"\xFFFF"},
      {"\xF0\x90\x80\x80", L"\U00010000"},
      {"\xF4\x8F\xBF\xBF", L"\U0010FFFF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToWide(c.utf8), c.wide) << c.utf8;
    EXPECT_EQ(WideToUtf8(c.wide), c.utf8);
  }
  EXPECT_EQ(Utf8ToWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
  EXPECT_EQ(WideToUtf8(std::wstring(L"a\0b", 3)), std::string("a\0b", 3));
}

// Verifies that surrogates written in UTF-8, code points past U+10FFFF, overlong forms and
// bytes that never start a sequence each give one U+FFFD, and decoding resumes at the next
// byte that does not continue the broken sequence.
TEST(Utf8TextTest, ReplacesEachBrokenSequenceOnce) {
  EXPECT_EQ(Utf8ToWide("\xED\xA0\x80x"), std::wstring(L"\xFFFDx"));
  EXPECT_EQ(Utf8ToWide("\xED\xBF\xBF"), std::wstring(L"\xFFFD"));
  EXPECT_EQ(Utf8ToWide("\xF4\x90\x80\x80"), std::wstring(L"\xFFFD"));
  EXPECT_EQ(Utf8ToWide("\xE0\x80\xAF"), std::wstring(L"\xFFFD"));
  EXPECT_EQ(Utf8ToWide("\xF0\x80\x80\xAF"), std::wstring(L"\xFFFD"));
  EXPECT_EQ(Utf8ToWide("\xF8\x88\x80\x80\x80"), std::wstring(5, L'\xFFFD'));
  EXPECT_EQ(Utf8ToWide("\xFE\xFF"), std::wstring(2, L'\xFFFD'));
  EXPECT_EQ(Utf8ToWide("\xF0\x9F\x98"), std::wstring(L"\xFFFD"));
  EXPECT_EQ(Utf8ToWide("\xF0\x9F"
                       "a\xE6\x91\x84"),
            std::wstring(L"\xFFFD"
                         L"a摄"));
  EXPECT_EQ(Utf8ToWide("\xC3"
                       "\xC3\xA9"),
            std::wstring(L"\xFFFD"
                         L"\xE9"));
}

// Verifies that wide text that is not valid (lone or reversed surrogates) gives U+FFFD and
// keeps the characters around it.
TEST(Utf8TextTest, LoneSurrogatesInWideTextBecomeReplacements) {
  const std::string fffd = "\xEF\xBF\xBD";
  EXPECT_EQ(WideToUtf8(std::wstring(1, wchar_t(0xD800)) + L"x"), fffd + "x");
  EXPECT_EQ(WideToUtf8(L"x" + std::wstring(1, wchar_t(0xDC00))), "x" + fffd);
  EXPECT_EQ(WideToUtf8(std::wstring{wchar_t(0xDC00), wchar_t(0xD800)}), fffd + fffd);
  EXPECT_EQ(WideToUtf8(std::wstring{wchar_t(0xD83D), L'a', wchar_t(0xDE00)}), fffd + "a" + fffd);
  // A whole string of every code point of the basic plane outside the surrogates comes back.
  std::wstring all;
  for (wchar_t c = 1; c < 0xD800; ++c) all.push_back(c);
  for (unsigned c = 0xE000; c <= 0xFFFF; ++c) all.push_back(static_cast<wchar_t>(c));
  EXPECT_EQ(Utf8ToWide(WideToUtf8(all)), all);
}

}  // namespace
}  // namespace DuiLib
