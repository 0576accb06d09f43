#include "callback_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

namespace tessarine {
namespace {

struct Item {
  int calls = 0;
};

// Items are offered in order until one takes the call; duplicates and null are refused.
TEST(CallbackRegistry, OffersInOrderUntilTaken) {
  CallbackRegistry<Item> r;
  Item a, b, c;
  EXPECT_TRUE(r.Add(&a));
  EXPECT_TRUE(r.Add(&b));
  EXPECT_TRUE(r.Add(&c));
  EXPECT_FALSE(r.Add(&a));
  EXPECT_FALSE(r.Add(nullptr));
  EXPECT_FALSE(r.Offer([](Item* i) {
    ++i->calls;
    return false;
  }));
  EXPECT_EQ(a.calls + b.calls + c.calls, 3);
  EXPECT_TRUE(r.Offer([&](Item* i) {
    ++i->calls;
    return i == &b;
  }));
  EXPECT_EQ(c.calls, 1);  // not offered once b took it
}

// An item removed by an earlier callback of the same round is not called; removing
// from inside its own callback returns at once.
TEST(CallbackRegistry, RemovalInsideCallbacks) {
  CallbackRegistry<Item> r;
  Item a, b;
  r.Add(&a);
  r.Add(&b);
  r.ForEach([&](Item* i) {
    ++i->calls;
    if (i == &a) {
      EXPECT_TRUE(r.Remove(&a));
      EXPECT_TRUE(r.Remove(&b));
    }
  });
  EXPECT_EQ(a.calls, 1);
  EXPECT_EQ(b.calls, 0);
  EXPECT_TRUE(r.empty());
  EXPECT_FALSE(r.Remove(&a));
}

// Remove on another thread waits until the item's running callback has returned.
TEST(CallbackRegistry, RemoveWaitsForRunningCallback) {
  CallbackRegistry<Item> r;
  Item a;
  r.Add(&a);
  std::promise<void> entered;
  std::atomic<bool> release{false};
  std::atomic<bool> finished{false};
  std::thread caller([&] {
    r.ForEach([&](Item*) {
      entered.set_value();
      while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      finished = true;
    });
  });
  entered.get_future().wait();
  auto removed = std::async(std::launch::async, [&] { return r.Remove(&a); });
  EXPECT_EQ(removed.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  release = true;
  EXPECT_TRUE(removed.get());
  EXPECT_TRUE(finished);
  caller.join();
}

}  // namespace
}  // namespace tessarine
