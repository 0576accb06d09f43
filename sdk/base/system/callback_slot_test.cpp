#include "base/system/callback_slot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

namespace {

using ZORVANTE::CallbackSet;
using ZORVANTE::CallbackSlot;

struct Handler {
  std::atomic<int> calls{0};
};

// Opens once, and lets a waiting thread through.
struct Latch {
  std::promise<void> promise;
  std::shared_future<void> future{promise.get_future().share()};
  void Open() { promise.set_value(); }
  void Wait() { future.wait(); }
};

// Replacing returns only after the call running on the old handler has left it.
TEST(CallbackSlotTest, SetWaitsForTheCallInFlight) {
  CallbackSlot<Handler> slot;
  Handler first, second;
  slot.Set(&first);
  Latch entered, release;
  std::atomic<bool> left{false};
  std::thread caller([&] {
    slot.Call([&](Handler& h) {
      entered.Open();
      release.Wait();
      h.calls++;
      left = true;
    });
  });
  entered.Wait();
  auto replaced = std::async(std::launch::async, [&] { return slot.Set(&second); });
  EXPECT_EQ(replaced.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  release.Open();
  EXPECT_EQ(replaced.get(), &first);
  EXPECT_TRUE(left.load());
  caller.join();
  slot.Call([](Handler& h) { h.calls++; });
  EXPECT_EQ(first.calls.load(), 1);
  EXPECT_EQ(second.calls.load(), 1);
}

std::atomic<int> g_waits{0};

// A removal made while another thread's removal of the same handler still waits for its
// call: the second one finds nothing to remove, and yet returns only once that call is done.
TEST(CallbackSlotTest, SecondRemovalWaitsForTheCallTheFirstWaitsFor) {
  CallbackSlot<Handler> slot;
  Handler h;
  slot.Set(&h);
  Latch entered, release;
  std::atomic<bool> inside{false};
  std::thread caller([&] {
    slot.Call([&](Handler&) {
      inside = true;
      entered.Open();
      release.Wait();
      inside = false;
    });
  });
  entered.Wait();
  g_waits = 0;
  ZORVANTE::CallsInFlight::SetWaitObserver([] { ++g_waits; });
  std::thread first([&] { (void)slot.Set(nullptr); });
  while (g_waits.load() < 1) std::this_thread::yield();
  std::atomic<bool> secondDone{false};
  bool insideWhenSecondReturned = true;
  std::thread second([&] {
    (void)slot.Set(nullptr);
    insideWhenSecondReturned = inside.load();
    secondDone = true;
  });
  while (g_waits.load() < 2 && !secondDone.load()) std::this_thread::yield();
  release.Open();
  second.join();
  first.join();
  caller.join();
  ZORVANTE::CallsInFlight::SetWaitObserver(nullptr);
  EXPECT_FALSE(insideWhenSecondReturned) << "the second removal returned while the handler was still called";
}

// A handler that removes itself does not wait for its own call, and is not called again.
TEST(CallbackSlotTest, RemovalInsideTheCallTakesEffectAtOnce) {
  CallbackSlot<Handler> slot;
  Handler h;
  slot.Set(&h);
  EXPECT_TRUE(slot.Call([&](Handler& self) {
    self.calls++;
    EXPECT_EQ(slot.Set(nullptr), &h);
  }));
  EXPECT_FALSE(slot.Call([](Handler& self) { self.calls++; }));
  EXPECT_EQ(h.calls.load(), 1);
}

// A handler removed by another's call in the same fan-out is not called after it.
TEST(CallbackSetTest, HandlerRemovedDuringFanOutIsSkipped) {
  CallbackSet<Handler> set;
  Handler a, b;
  set.Add(&a);
  set.Add(&b);
  EXPECT_FALSE(set.Add(&a));
  set.ForEach([&](Handler& h) {
    h.calls++;
    if (&h == &a) set.Remove(&b);
  });
  EXPECT_EQ(a.calls.load(), 1);
  EXPECT_EQ(b.calls.load(), 0);
}

// Removing waits for the other thread's call on that handler only.
TEST(CallbackSetTest, RemoveWaitsForTheCallOnThatHandler) {
  CallbackSet<Handler> set;
  Handler a, b;
  set.Add(&a);
  set.Add(&b);
  Latch entered, release;
  std::thread caller([&] {
    set.ForEach([&](Handler& h) {
      if (&h != &a) return;
      entered.Open();
      release.Wait();
    });
  });
  entered.Wait();
  auto removedB = std::async(std::launch::async, [&] { return set.Remove(&b); });
  EXPECT_TRUE(removedB.get());
  auto removedA = std::async(std::launch::async, [&] { return set.Remove(&a); });
  EXPECT_EQ(removedA.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  release.Open();
  EXPECT_TRUE(removedA.get());
  caller.join();
  EXPECT_TRUE(set.Empty());
}

// As for the slot: a second removal of a handler whose first removal still waits for its
// call finds nothing to remove, and returns only once that call is done.
TEST(CallbackSetTest, SecondRemovalWaitsForTheCallTheFirstWaitsFor) {
  CallbackSet<Handler> set;
  Handler h;
  set.Add(&h);
  Latch entered, release;
  std::atomic<bool> inside{false};
  std::thread caller([&] {
    set.ForEach([&](Handler&) {
      inside = true;
      entered.Open();
      release.Wait();
      inside = false;
    });
  });
  entered.Wait();
  g_waits = 0;
  ZORVANTE::CallsInFlight::SetWaitObserver([] { ++g_waits; });
  std::thread first([&] { EXPECT_TRUE(set.Remove(&h)); });
  while (g_waits.load() < 1) std::this_thread::yield();
  std::atomic<bool> secondDone{false};
  bool insideWhenSecondReturned = true;
  std::thread second([&] {
    EXPECT_FALSE(set.Remove(&h));
    insideWhenSecondReturned = inside.load();
    secondDone = true;
  });
  while (g_waits.load() < 2 && !secondDone.load()) std::this_thread::yield();
  release.Open();
  second.join();
  first.join();
  caller.join();
  ZORVANTE::CallsInFlight::SetWaitObserver(nullptr);
  EXPECT_FALSE(insideWhenSecondReturned) << "the second removal returned while the handler was still called";
}

}  // namespace
