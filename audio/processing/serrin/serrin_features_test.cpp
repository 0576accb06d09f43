#include "serrin_features.h"

#include <gtest/gtest.h>

#include <cstring>

#include "serrin_aux_block.h"

namespace {
SerrinFeatures Defaults() {
  SerrinFeatures f;
  std::memset(&f, 0x5A, sizeof(f));
  serrin_default_features(&f);
  return f;
}
}  // namespace

// Verifies the defaults: codes 1 to 64 on with all their copies, 128 to 16384 off.
TEST(SerrinFeatures, Defaults) {
  const SerrinFeatures f = Defaults();
  EXPECT_EQ(f.adaptive_filter, 1);
  EXPECT_EQ(f.s2, 1);
  EXPECT_EQ(f.s2_copies[0], 1);
  EXPECT_EQ(f.s2_copies[1], 1);
  EXPECT_EQ(f.channel_select, 1);
  EXPECT_EQ(f.suppression, 1);
  EXPECT_EQ(f.s16_copies[1], 1);
  EXPECT_EQ(f.s32_copies[2], 1);
  EXPECT_EQ(f.s64_copies[1], 1);
  EXPECT_EQ(f.s128 | f.s256 | f.s512 | f.s1024 | f.s16384, 0);
  EXPECT_EQ(f.mode_a | f.mode_b | f.mode_c, 0);
}

// Verifies that code 32 writes its three copies and the switch word of code 8.
TEST(SerrinFeatures, Code32AlsoDrivesCode8) {
  SerrinFeatures f = Defaults();
  serrin_set_feature(32, 0, &f);
  EXPECT_EQ(f.suppression, 0);
  EXPECT_EQ(f.s32_copies[0] | f.s32_copies[1] | f.s32_copies[2], 0);
  serrin_set_feature(8, 1, &f);
  EXPECT_EQ(f.suppression, 1);
  EXPECT_EQ(f.s32_copies[0], 0);  // code 8 alone leaves the copies of 32
  serrin_set_feature(64, 0, &f);
  EXPECT_EQ(f.s64 | f.s64_copies[0] | f.s64_copies[1], 0);
}

// Verifies that modes A, B and C exclude each other only when switched on.
TEST(SerrinFeatures, ModesAreExclusive) {
  SerrinFeatures f = Defaults();
  serrin_set_feature(2048, 1, &f);
  serrin_set_feature(4096, 1, &f);
  EXPECT_EQ(f.mode_a, 0);
  EXPECT_EQ(f.mode_b, 1);
  serrin_set_feature(2048, 0, &f);
  EXPECT_EQ(f.mode_b, 1);  // switching A off leaves B
  serrin_set_feature(2048, 7, &f);
  EXPECT_EQ(f.mode_a, 7);
  EXPECT_EQ(f.mode_b, 0);
  serrin_set_feature(8192, 1, &f);
  EXPECT_EQ(f.mode_a, 0);
  EXPECT_EQ(f.mode_b, 0);
  EXPECT_EQ(f.mode_c, 1);
}

// Verifies that codes without a switch change nothing.
TEST(SerrinFeatures, UnknownCodesChangeNothing) {
  const SerrinFeatures before = Defaults();
  SerrinFeatures f = before;
  for (int32_t code : {0, 3, 5, 32768, -1, 65536}) serrin_set_feature(code, 9, &f);
  EXPECT_EQ(std::memcmp(&f, &before, sizeof(f)), 0);
}

// Verifies the auxiliary block's start values.
TEST(SerrinAuxBlock, StartsZeroWithUnityGains) {
  AuxBlock* block = serrin_alloc_aux();
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block->lead, 0);
  EXPECT_EQ(block->work[kAuxWorkWords - 1], 0.0f);
  EXPECT_EQ(block->tail[1], 0);
  EXPECT_EQ(block->bin_values[959], 0.0f);
  for (float g : block->bin_gains) ASSERT_EQ(g, 1.0f);
  serrin_free_aux(block);
}
