#include "config_store.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using tessarine::ConfigStore;

// Every key keeps its last value; unknown keys are absent; Clear forgets all.
TEST(ConfigStoreTest, KeepsLastValuePerKey) {
  ConfigStore store;
  store.Set("avcore.trans.qos.bwadp", "TRUE");
  store.Set("avcore.video.svc2.onoff", "FALSE");
  store.Set("avcore.trans.qos.bwadp", "FALSE");
  EXPECT_EQ(store.size(), 2u);
  EXPECT_EQ(store.Get("avcore.trans.qos.bwadp").value_or("?"), "FALSE");
  EXPECT_EQ(store.Get("avcore.video.svc2.onoff").value_or("?"), "FALSE");
  EXPECT_FALSE(store.Get("avcore.video.gpu.enc.num").has_value());
  store.Set("empty", "");
  EXPECT_EQ(store.Get("empty").value_or("?"), "");
  store.Clear();
  EXPECT_EQ(store.size(), 0u);
}

// Writers on several threads lose no key.
TEST(ConfigStoreTest, ConcurrentWritersLoseNothing) {
  ConfigStore store;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&store, t] {
      for (int i = 0; i < 200; ++i) store.Set(std::to_string(t) + "." + std::to_string(i), "v");
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(store.size(), 800u);
}

}  // namespace
