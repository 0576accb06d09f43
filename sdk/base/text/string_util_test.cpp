#include "base/text/string_util.h"

#include <gtest/gtest.h>

// Numbers become plain decimal text, up to the largest unsigned value.
TEST(StringUtilTest, IntToStringIsPlainDecimal) {
  EXPECT_EQ(IntToString(0), "0");
  EXPECT_EQ(IntToString(1234567), "1234567");
  EXPECT_EQ(IntToString(4294967295u), "4294967295");
}

// The prefix test is byte-wise and case-sensitive; null never matches.
TEST(StringUtilTest, StartsWithIsCaseSensitive) {
  EXPECT_TRUE(StartsWith("https://host", "https://"));
  EXPECT_FALSE(StartsWith("HTTPS://host", "https://"));
  EXPECT_TRUE(StartsWith("abc", ""));
  EXPECT_FALSE(StartsWith("ab", "abc"));
  EXPECT_FALSE(StartsWith(nullptr, "a"));
  EXPECT_FALSE(StartsWith("a", nullptr));
}
