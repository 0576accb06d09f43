#include "call_gate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "callback_slot.h"
#include "sink_list.h"

namespace {

using namespace std::chrono_literals;
using tessarine::CallbackSlot;
using tessarine::CallGate;
using tessarine::GatePass;
using tessarine::SinkList;

struct Receiver {
  std::atomic<int> calls{0};
  void* last_context = nullptr;
};

// Close waits for a call in progress on another thread, and no call starts afterwards.
TEST(CallGateTest, CloseWaitsForCallsOnOtherThreads) {
  CallGate gate;
  std::promise<void> entered, release;
  std::thread caller([&] {
    GatePass pass(gate);
    ASSERT_TRUE(pass);
    entered.set_value();
    release.get_future().wait();
  });
  entered.get_future().wait();
  auto closing = std::async(std::launch::async, [&] { gate.Close(); });
  EXPECT_EQ(closing.wait_for(50ms), std::future_status::timeout);
  release.set_value();
  EXPECT_EQ(closing.wait_for(5s), std::future_status::ready);
  caller.join();
  EXPECT_FALSE(gate.Enter());
}

// A receiver may close its own gate from inside a call without waiting for itself.
TEST(CallGateTest, CloseFromInsideACallDoesNotWaitForItself) {
  CallGate gate;
  auto done = std::async(std::launch::async, [&] {
    GatePass pass(gate);
    gate.Close();
    return gate.closed();
  });
  ASSERT_EQ(done.wait_for(5s), std::future_status::ready);
  EXPECT_TRUE(done.get());
}

// Sinks: adding twice keeps one entry with the newer context; removing an unknown sink
// reports it; a removed sink is not called again, also when it removes itself.
TEST(SinkListTest, AddRemoveAndSelfRemoval) {
  SinkList<Receiver> list;
  Receiver a, b;
  int ctx1 = 0, ctx2 = 0;
  EXPECT_FALSE(list.Add(nullptr, nullptr));
  EXPECT_TRUE(list.Add(&a, &ctx1));
  EXPECT_TRUE(list.Add(&a, &ctx2));
  EXPECT_TRUE(list.Add(&b, nullptr));
  list.ForEach([&](Receiver* r, void* c) {
    ++r->calls;
    r->last_context = c;
    if (r == &a) list.Remove(&b);  // removed before its turn: not called
  });
  EXPECT_EQ(a.calls, 1);
  EXPECT_EQ(a.last_context, &ctx2);
  EXPECT_EQ(b.calls, 0);
  EXPECT_FALSE(list.Remove(&b));
  list.ForEach([&](Receiver* r, void*) { list.Remove(r); });
  EXPECT_TRUE(list.empty());
}

// A slot's replaced callback is not called after Set returns, even while a call of it
// runs on another thread at that moment.
TEST(CallbackSlotTest, ReplaceWaitsForTheOldCallback) {
  struct Fn {
    int id = 0;
  };
  CallbackSlot<Fn> slot;
  EXPECT_FALSE(slot.Call([](const Fn&) {}));
  slot.Set(Fn{1}, true);
  std::promise<void> entered, release;
  std::atomic<int> last{0};
  std::thread caller([&] {
    slot.Call([&](const Fn& f) {
      entered.set_value();
      release.get_future().wait();
      last = f.id;
    });
  });
  entered.get_future().wait();
  auto replacing = std::async(std::launch::async, [&] { slot.Set(Fn{2}, true); });
  EXPECT_EQ(replacing.wait_for(50ms), std::future_status::timeout);
  release.set_value();
  ASSERT_EQ(replacing.wait_for(5s), std::future_status::ready);
  caller.join();
  EXPECT_EQ(last, 1);
  slot.Call([&](const Fn& f) { last = f.id; });
  EXPECT_EQ(last, 2);
  slot.Clear();
  EXPECT_FALSE(slot.installed());
}

}  // namespace
