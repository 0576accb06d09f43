#include "core/env/shared_text.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

// Readers on another thread see one whole value or the other while it is replaced, never a
// mix (the long value does not fit the string's inline buffer, so a replace reallocates).
TEST(SharedTextTest, ReplacedWhileRead) {
  const std::string shortText = "alice";
  const std::string longText(100, 'b');
  kiv_core::SharedText text;
  text.Set(shortText);
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    while (!done.load()) {
      const std::string seen = text.Get();
      if (seen != shortText && seen != longText) ++torn;
    }
  });
  for (int i = 0; i < 20000; ++i) text.Set(i % 2 ? shortText : longText);
  done = true;
  reader.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(text.Get(), shortText);
  EXPECT_TRUE(text.Equals(shortText));
  EXPECT_FALSE(text.Equals(longText));
}

}  // namespace
