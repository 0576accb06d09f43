#include "base/text/w_flex_buffer.h"

#include <gtest/gtest.h>

#include <cstring>

using ZORVANTE::WFlexBuffer;

// A buffer made with capacity 0 has no block; SetData of 0 bytes succeeds with length 0.
TEST(WFlexBufferTest, EmptyBufferAcceptsEmptyData) {
  WFlexBuffer buffer(0);
  EXPECT_EQ(buffer.GetData(), nullptr);
  EXPECT_EQ(buffer.GetBufferSize(), 0u);
  EXPECT_EQ(buffer.SetData(nullptr, 0), 1);
  EXPECT_EQ(buffer.GetLength(), 0u);
}

// Data that fits is copied into the existing block, which keeps its size.
TEST(WFlexBufferTest, SetDataWithinCapacityKeepsBlock) {
  WFlexBuffer buffer(16);
  uint8_t* block = buffer.GetData();
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(buffer.SetData("hello", 5), 1);
  EXPECT_EQ(buffer.GetData(), block);
  EXPECT_EQ(buffer.GetLength(), 5u);
  EXPECT_EQ(buffer.GetBufferSize(), 16u);
  EXPECT_EQ(std::memcmp(buffer.GetData(), "hello", 5), 0);
}

// Growing by SetData or GetBuffer replaces the block without its old bytes; the length is
// left as it was by GetBuffer.
TEST(WFlexBufferTest, GrowingReplacesBlock) {
  WFlexBuffer buffer(4);
  ASSERT_EQ(buffer.SetData("abcd", 4), 1);
  const char big[] = "0123456789";
  ASSERT_EQ(buffer.SetData(big, 10), 1);
  EXPECT_EQ(buffer.GetBufferSize(), 10u);
  EXPECT_EQ(std::memcmp(buffer.GetData(), big, 10), 0);

  uint8_t* grown = buffer.GetBuffer(64);
  ASSERT_NE(grown, nullptr);
  EXPECT_EQ(buffer.GetBufferSize(), 64u);
  EXPECT_EQ(buffer.GetLength(), 10u);
  // A request that fits changes nothing.
  EXPECT_EQ(buffer.GetBuffer(8), grown);
  EXPECT_EQ(buffer.Alloc(64), 1);
  EXPECT_EQ(buffer.GetData(), grown);
}

// SetLength takes any value unchecked, even above the capacity.
TEST(WFlexBufferTest, SetLengthIsUnchecked) {
  WFlexBuffer buffer(8);
  buffer.SetLength(1000);
  EXPECT_EQ(buffer.GetLength(), 1000u);
  EXPECT_EQ(buffer.GetBufferSize(), 8u);
}

// Bytes promised from a null source are refused without touching the buffer.
TEST(WFlexBufferTest, NullSourceIsRefused) {
  WFlexBuffer buffer(4);
  ASSERT_EQ(buffer.SetData("ab", 2), 1);
  EXPECT_EQ(buffer.SetData(nullptr, 100), 0);
  EXPECT_EQ(buffer.GetLength(), 2u);
  EXPECT_EQ(buffer.GetBufferSize(), 4u);
}
