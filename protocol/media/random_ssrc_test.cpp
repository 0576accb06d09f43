#include "protocol/media/random_ssrc.h"

#include <gtest/gtest.h>

#include <vector>

namespace kiv_media {
namespace {

// Verifies that zero draws are skipped and the first non-zero one is the SSRC.
TEST(RandomSsrc, SkipsZeroDraws) {
  std::vector<uint32_t> draws = {0, 0, 0xFFFFFFFF, 7};
  size_t next = 0;
  EXPECT_EQ(NonZeroSsrc([&] { return draws[next++]; }), 0xFFFFFFFFu);
  EXPECT_EQ(next, 3u);
}

// Verifies that the device-backed SSRC is never the reserved zero.
TEST(RandomSsrc, NeverZero) {
  for (int i = 0; i < 64; ++i) EXPECT_NE(RandomSsrc(), 0u);
}

}  // namespace
}  // namespace kiv_media
