#include "base/text/code_page.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

using namespace ZORVANTE;

// The destination needs one unit more than the text and its terminator: "abc" into 4
// bytes writes nothing, into 5 gives 4 and a second zero behind the terminator.
TEST(CodePageTest, BufferContract) {
  char buffer[5];
  std::memset(buffer, 'x', sizeof(buffer));
  EXPECT_EQ(UnicodeToUtf8(L"abc", buffer, 4), 0);
  EXPECT_EQ(buffer[0], 'x');
  EXPECT_EQ(UnicodeToUtf8(L"abc", buffer, 5), 4);
  EXPECT_EQ(std::memcmp(buffer, "abc\0\0", 5), 0);

  wchar_t wide[11];
  EXPECT_EQ(Utf8ToUnicode("ninechars", wide, 10), 0);
  EXPECT_EQ(Utf8ToUnicode("ninechars", wide, 11), 10);
  EXPECT_EQ(std::wcscmp(wide, L"ninechars"), 0);
}

// Chinese text survives UTF-8 -> UTF-16 -> UTF-8.
TEST(CodePageTest, ChineseRoundTrip) {
  const char* utf8 = "\xE7\xA3\x8B\xE5\x95\x86\xE5\x92\x8C\xE8\xAE\xA9\xE6\xAD\xA5";  // 磋商和让步
  wchar_t wide[16];
  ASSERT_EQ(Utf8ToUnicode(utf8, wide, 16), 6);
  EXPECT_EQ(std::wcscmp(wide, L"\x78CB\x5546\x548C\x8BA9\x6B65"), 0);
  char back[32];
  ASSERT_EQ(UnicodeToUtf8(wide, back, sizeof(back)), 16);
  EXPECT_STREQ(back, utf8);
}

// The ANSI code page round-trips its own characters.
TEST(CodePageTest, AnsiRoundTrip) {
  wchar_t wide[16];
  ASSERT_GT(AnsiToUnicode("plain text", wide, 16), 0);
  char back[16];
  ASSERT_GT(UnicodeToAnsi(wide, back, sizeof(back)), 0);
  EXPECT_STREQ(back, "plain text");
}

// Null texts and buffers are refused without a write.
TEST(CodePageTest, NullArguments) {
  wchar_t wide[4] = {L'x'};
  EXPECT_EQ(Utf8ToUnicode(nullptr, wide, 4), 0);
  EXPECT_EQ(wide[0], L'x');
  EXPECT_EQ(Utf8ToUnicode("a", nullptr, 4), 0);
  char narrow[4] = {'x'};
  EXPECT_EQ(UnicodeToAnsi(nullptr, narrow, 4), 0);
  EXPECT_EQ(narrow[0], 'x');
}
