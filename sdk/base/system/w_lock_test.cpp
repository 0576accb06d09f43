#include "base/system/w_lock.h"
#include "base/system/w_semaphore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace ZORVANTE;

// The owning thread may take the lock again; a scoped guard over null does nothing.
TEST(WLockTest, ReentrantAndNullGuard) {
  WLock lock;
  {
    WAutoLock outer(&lock);
    WAutoLock inner(&lock);
  }
  WAutoLock none(nullptr);
  // Released twice above: another thread can take it now.
  bool taken = false;
  std::thread other([&] {
    WAutoLock guard(&lock);
    taken = true;
  });
  other.join();
  EXPECT_TRUE(taken);
}

// Increments from several threads under the lock are not lost.
TEST(WLockTest, MutualExclusion) {
  WLock lock;
  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        WAutoLock guard(&lock);
        int v = counter;
        counter = v + 1;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(counter, 80000);
}

// The semaphore counts releases and refuses to pass its maximum.
TEST(WSemaphoreTest, CountsReleases) {
  WSemaphore sem(0, 2);
  ASSERT_NE(sem.Handle(), nullptr);
  EXPECT_EQ(WaitForSingleObject(sem.Handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_TRUE(sem.Release(2));
  EXPECT_FALSE(sem.Release(1));
  EXPECT_EQ(WaitForSingleObject(sem.Handle(), 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(sem.Handle(), 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(sem.Handle(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

// A thread that finds the lock taken reports that it waits, before it waits; one that finds
// it free, or already owns it, reports nothing.
TEST(WLockTest, WaitObserverSeesContention) {
  static std::atomic<const WLock*> waitedFor{nullptr};
  static std::atomic<DWORD> waiter{0};
  WLock::SetWaitObserver([](const WLock* lock) {
    waitedFor = lock;
    waiter = GetCurrentThreadId();
  });
  WLock lock;
  {
    WAutoLock outer(&lock);
    WAutoLock inner(&lock);
  }
  EXPECT_EQ(waitedFor.load(), nullptr);
  lock.Lock();
  DWORD otherId = 0;
  std::thread other([&] {
    otherId = GetCurrentThreadId();
    WAutoLock guard(&lock);
  });
  while (waitedFor.load() == nullptr) SwitchToThread();
  EXPECT_EQ(waitedFor.load(), &lock);
  lock.UnLock();
  other.join();
  EXPECT_EQ(waiter.load(), otherId);
  WLock::SetWaitObserver(nullptr);
}

// The held count follows nesting and other threads' locks do not show in it.
TEST(WLockTest, HeldLockCountIsPerThread) {
  WLock a, b;
  EXPECT_EQ(HeldLockCount(), 0);
  {
    WAutoLock outer(&a);
    WAutoLock inner(&a);
    WAutoLock other(&b);
    EXPECT_EQ(HeldLockCount(), 3);
    int seen = -1;
    std::thread([&] { seen = HeldLockCount(); }).join();
    EXPECT_EQ(seen, 0);
  }
  EXPECT_EQ(HeldLockCount(), 0);
}
