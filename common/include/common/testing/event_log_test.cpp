#include "common/testing/event_log.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

struct Event {
  std::string kind;
  int code = 0;
};

// Verifies that each event is taken once, the first matching one first, and that a
// skipped event stays for a later wait.
TEST(EventLogTest, TakesMatchingEventsOnceInOrder) {
  kiv_common::EventLog<Event> log;
  log.Push({"join", 1});
  log.Push({"login", 2});
  log.Push({"join", 3});
  Event e;
  ASSERT_TRUE(log.Wait("join", &e, 0, [](const Event& x) { return x.code == 3; }));
  EXPECT_EQ(e.code, 3);
  ASSERT_TRUE(log.Wait("join", &e, 0, nullptr));
  EXPECT_EQ(e.code, 1);
  EXPECT_FALSE(log.Wait("join", &e, 0, nullptr));
  EXPECT_TRUE(log.Wait("login", nullptr, 0, nullptr));
  EXPECT_EQ(log.Count("join"), 2u);  // taken events still count
  EXPECT_EQ(log.Kinds(), (std::vector<std::string>{"join", "login", "join"}));
}

// Verifies that a wait wakes for an event pushed by another thread.
TEST(EventLogTest, WaitWakesOnAPushFromAnotherThread) {
  kiv_common::EventLog<Event> log;
  std::thread pusher([&log] { log.Push({"late", 7}); });
  Event e;
  EXPECT_TRUE(log.Wait("late", &e, 30000, nullptr));
  EXPECT_EQ(e.code, 7);
  pusher.join();
}

}  // namespace
