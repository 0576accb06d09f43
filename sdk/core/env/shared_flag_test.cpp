#include "core/env/shared_flag.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/env/engine_config.h"

namespace {

// A copy takes the value at that moment and then lives on its own.
TEST(SharedFlagTest, CopiesAreIndependent) {
  kiv_core::EngineConfig config;
  EXPECT_TRUE(config.audioAutoRecv);
  config.audioAutoRecv = false;
  kiv_core::EngineConfig copy = config;
  EXPECT_FALSE(copy.audioAutoRecv);
  copy.audioAutoRecv = true;
  EXPECT_FALSE(config.audioAutoRecv);
  config = copy;
  EXPECT_TRUE(config.audioAutoRecv);
}

// One thread switches the flag while another reads it. Only the thread sanitizer's run of
// this test (build/tsan) can fail: it reports the race of a flag that is not atomic.
TEST(SharedFlagTest, SwitchedWhileRead) {
  kiv_core::EngineConfig config;
  std::atomic<bool> done{false};
  int seenOn = 0;
  std::thread reader([&] {
    while (!done.load()) seenOn += config.audioAutoRecv ? 1 : 0;
  });
  for (int i = 0; i < 20000; ++i) config.audioAutoRecv = (i % 2) == 0;
  done = true;
  reader.join();
  EXPECT_FALSE(config.audioAutoRecv);
}

}  // namespace
