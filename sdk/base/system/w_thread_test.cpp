#include "base/system/w_thread.h"

#include <gtest/gtest.h>

#include <atomic>

#include "base/system/testing/thread_descriptions.h"
#include "common/win/unique_handle.h"

using namespace ZORVANTE;

namespace {

// Runs until asked to stop, waiting on the stop event.
class WaitingThread : public WThread {
 public:
  DWORD ThreadProc() override {
    ++runs;
    while (!StopRequested()) WaitForSingleObject(StopEvent(), 5000);
    return 42;
  }
  std::atomic<int> runs{0};
};

// Signals an event from its destructor so that a test sees the deletion.
class SelfDeletingThread : public WThread {
 public:
  explicit SelfDeletingThread(HANDLE deleted) : m_deleted(deleted) { SetName("self-deleting"); }
  ~SelfDeletingThread() override { SetEvent(m_deleted); }
  DWORD ThreadProc() override { return 7; }

 private:
  HANDLE m_deleted;
};

}  // namespace

// A started thread runs once, stops on request and reports its exit code.
TEST(WThreadTest, StartAndStop) {
  WaitingThread thread;
  ASSERT_TRUE(thread.StartThread(true));
  EXPECT_TRUE(thread.IsRunning());
  EXPECT_NE(thread.GetThreadId(), 0u);
  // Starting a running thread again starts nothing and answers true.
  EXPECT_TRUE(thread.StartThread(true));
  DWORD code = 0;
  EXPECT_TRUE(thread.GetExitCode(&code));
  EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
  thread.StopThread();
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.GetThreadId(), 0u);
  EXPECT_EQ(thread.runs.load(), 1);
  // And it can be started again.
  ASSERT_TRUE(thread.StartThread());
  thread.StopThread();
  EXPECT_EQ(thread.runs.load(), 2);
}

// StopThread on a thread that never started returns at once.
TEST(WThreadTest, StopWithoutStart) {
  WaitingThread thread;
  thread.StopThread();
  thread.SignalStop();
  EXPECT_FALSE(thread.IsRunning());
  EXPECT_EQ(thread.GetThreadId(), 0u);
}

// With the wait flag the new thread has a message queue when StartThread returns.
TEST(WThreadTest, WaitFlagGivesMessageQueue) {
  WaitingThread thread;
  ASSERT_TRUE(thread.StartThread(true));
  EXPECT_TRUE(PostThreadMessageW(thread.GetThreadId(), WM_USER + 5, 0, 0));
  thread.StopThread();
}

// An auto-deleting thread deletes its object after ThreadProc, also when it is named.
TEST(WThreadTest, AutoDelete) {
  const kiv_common::UniqueHandle deletedEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const HANDLE deleted = deletedEvent.get();
  for (int i = 0; i < 20; ++i) {
    ResetEvent(deleted);
    auto* thread = new SelfDeletingThread(deleted);
    thread->SetAutoDelete(1);
    ASSERT_TRUE(thread->StartThread(i % 2 == 0));
    ASSERT_EQ(WaitForSingleObject(deleted, 10000), WAIT_OBJECT_0);
  }
}

// Naming a thread needs no debugger attached; the name becomes the thread's description
// where the system keeps one.
TEST(WThreadTest, SetThreadNameWithoutDebugger) {
  SetThreadName("kiv test thread");
  if (!kiv_test::ThreadDescriptionReader()) GTEST_SKIP() << "threads carry no descriptions here";
  EXPECT_EQ(kiv_test::ThreadDescription(GetCurrentThread()), L"kiv test thread");
}
