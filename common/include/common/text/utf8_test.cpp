#include "common/text/utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kiv_common::IsUtf8;
using namespace std::string_literals;

// Verifies that every length of sequence is taken up to its highest code point.
TEST(Utf8Test, AcceptsEachSequenceLength) {
  EXPECT_TRUE(IsUtf8(""));
  EXPECT_TRUE(IsUtf8("plain ascii"));
  EXPECT_TRUE(IsUtf8("nul\0inside"s));
  EXPECT_TRUE(IsUtf8("\xc2\x80\xdf\xbf"));                      // U+0080, U+07FF
  EXPECT_TRUE(IsUtf8("\xe0\xa0\x80\xed\x9f\xbf\xef\xbf\xbf"));  // U+0800, U+D7FF, U+FFFF
  EXPECT_TRUE(IsUtf8("\xee\x80\x80"));                          // U+E000, just past the surrogates
  EXPECT_TRUE(IsUtf8("\xf0\x90\x80\x80\xf4\x8f\xbf\xbf"));      // U+10000, U+10FFFF
}

// Verifies that a code point written with more bytes than it needs is refused.
TEST(Utf8Test, RefusesOverlongForms) {
  EXPECT_FALSE(IsUtf8("\xc0\x80"));
  EXPECT_FALSE(IsUtf8("\xc1\xbf"));
  EXPECT_FALSE(IsUtf8("\xe0\x80\x80"));
  EXPECT_FALSE(IsUtf8("\xe0\x9f\xbf"));
  EXPECT_FALSE(IsUtf8("\xf0\x80\x80\x80"));
  EXPECT_FALSE(IsUtf8("\xf0\x8f\xbf\xbf"));
}

// Verifies that surrogates and values above U+10FFFF are refused.
TEST(Utf8Test, RefusesSurrogatesAndValuesBeyondTheRange) {
  EXPECT_FALSE(IsUtf8("\xed\xa0\x80"));  // U+D800
  EXPECT_FALSE(IsUtf8("\xed\xbf\xbf"));  // U+DFFF
  EXPECT_FALSE(IsUtf8("\xf4\x90\x80\x80"));
  EXPECT_FALSE(IsUtf8("\xf5\x80\x80\x80"));
  EXPECT_FALSE(IsUtf8("\xff"));
}

// Verifies that a sequence cut short, at the end or by another byte, is refused.
TEST(Utf8Test, RefusesBrokenSequences) {
  EXPECT_FALSE(IsUtf8("\x80"));
  EXPECT_FALSE(IsUtf8("a\xbf"));
  EXPECT_FALSE(IsUtf8("\xc2"));
  EXPECT_FALSE(IsUtf8("\xe2\x82"));
  EXPECT_FALSE(IsUtf8("\xf0\x9f\x98"));
  EXPECT_FALSE(IsUtf8("\xe2\x28\xa1"));
  EXPECT_FALSE(IsUtf8("\xc2\xc2\x80"));
  // The view's end bounds the check: a valid sequence past it is not read.
  const char bytes[] = "\xe2\x82\xac";
  EXPECT_FALSE(IsUtf8(std::string_view(bytes, 2)));
  EXPECT_TRUE(IsUtf8(std::string_view(bytes, 3)));
}

}  // namespace
