#include "serial_executor.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace {

// Every task runs on the executor's one thread, never the caller's, in the order
// handed over, also when several threads hand tasks over at once.
TEST(SerialExecutorTest, RunsTasksOnItsOwnThreadInOrder) {
  tessarine::SerialExecutor executor;
  std::set<std::thread::id> threads;
  std::vector<int> order;
  for (int i = 0; i < 5; ++i) {
    executor.Run([&, i] {
      threads.insert(std::this_thread::get_id());
      order.push_back(i);
    });
  }
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
  ASSERT_EQ(threads.size(), 1u);
  EXPECT_NE(*threads.begin(), std::this_thread::get_id());

  int sum = 0;  // touched by the executor's thread only
  std::vector<std::thread> callers;
  for (int t = 0; t < 4; ++t) {
    callers.emplace_back([&] {
      for (int i = 0; i < 100; ++i) executor.Run([&] { ++sum; });
    });
  }
  for (auto& c : callers) c.join();
  EXPECT_EQ(sum, 400);
}

// A task that hands over another task runs it at once instead of waiting for itself.
TEST(SerialExecutorTest, NestedRunDoesNotWaitForItself) {
  tessarine::SerialExecutor executor;
  bool inner = false, on_thread = false;
  executor.Run([&] {
    on_thread = executor.OnThread();
    executor.Run([&] { inner = true; });
  });
  EXPECT_TRUE(inner);
  EXPECT_TRUE(on_thread);
  EXPECT_FALSE(executor.OnThread());
}

}  // namespace
