#include "common/time/monotonic.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

// Verifies that the clock is the steady clock in milliseconds and never runs back.
TEST(MonotonicTest, MillisecondsOfTheSteadyClock) {
  const auto before =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
  const uint64_t first = kiv_common::MonotonicMs();
  const uint64_t second = kiv_common::MonotonicMs();
  const auto after =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count();
  EXPECT_LE(static_cast<uint64_t>(before), first);
  EXPECT_LE(first, second);
  EXPECT_LE(second, static_cast<uint64_t>(after));
}

}  // namespace
