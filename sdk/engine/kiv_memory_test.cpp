#include <gtest/gtest.h>

#include <cstring>

#include "kiv_exports.h"

// KivStrLen of null is 0; KivStrCmp compares unsigned bytes and answers -1, 0 or 1.
TEST(KivMemoryTest, TextFunctions) {
  EXPECT_EQ(KivStrLen(nullptr), 0u);
  EXPECT_EQ(KivStrLen("abc"), 3u);
  EXPECT_EQ(KivStrCmp("a", "b"), -1);
  EXPECT_EQ(KivStrCmp("b", "a"), 1);
  EXPECT_EQ(KivStrCmp("same", "same"), 0);
  EXPECT_EQ(KivStrCmp("ab", "abc"), -1);
  EXPECT_EQ(KivStrCmp("\xC3\xA9", "z"), 1);  // bytes above 127 compare as unsigned
  EXPECT_EQ(KivStrCmp(nullptr, ""), 0);
  EXPECT_EQ(KivStrCmp(nullptr, "a"), -1);
}

// The copy functions do nothing for a null source or destination and copy otherwise.
TEST(KivMemoryTest, CopyFunctions) {
  char buffer[8] = "abcdefg";
  KivMemCpy(buffer, nullptr, 3);
  KivMemCpy(nullptr, "x", 1);
  EXPECT_STREQ(buffer, "abcdefg");
  KivMemCpy(buffer, "xyz", 3);
  EXPECT_STREQ(buffer, "xyzdefg");
  KivMemMov(buffer + 1, buffer, 4);  // overlapping
  EXPECT_STREQ(buffer, "xxyzdfg");
  KivMemMov(buffer, nullptr, 4);
  EXPECT_STREQ(buffer, "xxyzdfg");
}

// KivMalloc and KivFree are a matching pair; freeing null is harmless.
TEST(KivMemoryTest, AllocateAndFree) {
  void* p = KivMalloc(45);
  ASSERT_NE(p, nullptr);
  std::memset(p, 0, 45);
  KivFree(p);
  KivFree(nullptr);
  EXPECT_EQ(KivMalloc(-1), nullptr);
}
