#include "base/text/text_holders.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "base/text/code_page.h"

namespace {

// 协商和让步 (UTF-8) and its UTF-16 form.
const char* const kChineseUtf8 = "\xE5\x8D\x8F\xE5\x95\x86\xE5\x92\x8C\xE8\xAE\xA9\xE6\xAD\xA5";
const wchar_t* const kChineseWide = L"\x534F\x5546\x548C\x8BA9\x6B65";

}  // namespace

// Empty input holds null; "a" holds one letter; the wide length counts up to the first 0.
TEST(TextHoldersTest, EmptyAndSmall) {
  EXPECT_EQ(Utf8ToWide("").Get(), nullptr);
  EXPECT_EQ(AnsiToWide("").Get(), nullptr);
  EXPECT_EQ(WideToUtf8(nullptr).Get(), nullptr);
  Utf8ToWide a("a");
  ASSERT_NE(a.Get(), nullptr);
  EXPECT_EQ(std::wstring(a.Get()), L"a");
  EXPECT_EQ(WideStrLen(nullptr), 0u);
  EXPECT_EQ(WideStrLen(L"abc"), 3u);
}

// The UTF-8 block is 4 x length + 64 bytes, zeroed, and holds the text.
TEST(TextHoldersTest, WideToUtf8BlockSize) {
  WideToUtf8 ten(L"0123456789");
  EXPECT_EQ(ten.BlockSize(), 104u);
  EXPECT_STREQ(ten.Get(), "0123456789");
  WideToUtf8 empty(L"");
  ASSERT_NE(empty.Get(), nullptr);
  EXPECT_STREQ(empty.Get(), "");
}

// Chinese text round-trips UTF-8 -> UTF-16 -> UTF-8.
TEST(TextHoldersTest, ChineseUtf8RoundTrip) {
  Utf8ToWide wide(kChineseUtf8);
  ASSERT_NE(wide.Get(), nullptr);
  EXPECT_EQ(std::wstring(wide.Get()), std::wstring(kChineseWide));
  WideToUtf8 back(wide.Get());
  EXPECT_STREQ(back.Get(), kChineseUtf8);
}

// Chinese text round-trips through the ANSI code page where that page can hold it (this
// program runs with a Chinese locale, code page 936).
TEST(TextHoldersTest, ChineseAnsiRoundTrip) {
  if (GetACP() != 936) GTEST_SKIP() << "ANSI code page " << GetACP() << " has no Chinese";
  char ansi[32] = {0};
  ASSERT_GT(WideCharToMultiByte(CP_ACP, 0, kChineseWide, -1, ansi, sizeof(ansi), nullptr, nullptr), 0);
  EXPECT_EQ(std::string(ansi).size(), 10u);  // two bytes a character in GBK
  AnsiToWide wide(ansi);
  ASSERT_NE(wide.Get(), nullptr);
  EXPECT_EQ(std::wstring(wide.Get()), std::wstring(kChineseWide));
  WideToUtf8 utf8(wide.Get());
  EXPECT_STREQ(utf8.Get(), kChineseUtf8);
  Utf8ToWide again(utf8.Get());
  EXPECT_EQ(std::wstring(again.Get()), std::wstring(kChineseWide));
}

// A conversion that fails (the text does not fit) writes nothing: the block keeps its zero
// start and the holder's text is empty, never a cut piece. Invalid UTF-8 does not fail: each
// bad byte becomes a replacement character.
TEST(TextHoldersTest, InvalidInputGivesText) {
  wchar_t small[8];
  std::wmemset(small, L'x', 8);
  small[0] = 0;
  small[1] = 0;
  EXPECT_EQ(ZORVANTE::Utf8ToUnicode(kChineseUtf8, small, 5), 0);
  EXPECT_EQ(std::wstring(small, 8), std::wstring(L"\0\0xxxxxx", 8));
  char narrow[8];
  std::memset(narrow, 'x', sizeof(narrow));
  narrow[0] = 0;
  EXPECT_EQ(ZORVANTE::UnicodeToUtf8(kChineseWide, narrow, 8), 0);
  EXPECT_EQ(std::string(narrow, 8), std::string("\0xxxxxxx", 8));

  Utf8ToWide bad("\xFF\xFE\xFD");
  ASSERT_NE(bad.Get(), nullptr);
  EXPECT_EQ(std::wstring(bad.Get()), L"\xFFFD\xFFFD\xFFFD");
}
