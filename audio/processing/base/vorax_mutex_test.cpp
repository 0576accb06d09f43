#include "vorax_mutex.h"

#include <gtest/gtest.h>

#include <thread>

#include "audio_lib_log.h"

namespace {

// Verifies that the lock is re-entrant for its holder and excludes other threads.
TEST(VoraxMutexTest, ReentrantAndExclusive) {
  VORAX::Mutex mutex;
  long counter = 0;
  {
    VORAX::AutoLock outer(mutex);
    VORAX::AutoLock inner(&mutex);  // same thread again: must not deadlock
    ++counter;
  }
  auto work = [&] {
    for (int i = 0; i < 100000; ++i) {
      VORAX::AutoLock lock(mutex);
      ++counter;
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 200001);
}

std::string g_line;
void Capture(const char* format, va_list args) {
  char buf[256];
  vsnprintf(buf, sizeof buf, format, args);
  g_line += buf;
}

// Verifies that the log function does nothing without a callback and adds nothing to the line.
TEST(AudioLibLogTest, PassesLinesThroughUnchanged) {
  SetAudioLibLogCallback(nullptr);
  EXPECT_EQ(AudioLibLog("nobody hears %d\n", 1), 0);
  SetAudioLibLogCallback(&Capture);
  g_line.clear();
  EXPECT_NE(AudioLibLog("AudioCore: %s=%d", "frames", 42), 0);
  EXPECT_EQ(g_line, "AudioCore: frames=42");
  SetAudioLibLogCallback(nullptr);
  EXPECT_EQ(AudioLibLog("gone"), 0);
  EXPECT_EQ(g_line, "AudioCore: frames=42");
}

}  // namespace
