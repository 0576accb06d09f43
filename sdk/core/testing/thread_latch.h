// Holds a thread at a chosen point until the test lets it go: the thread calls Arrive(),
// which tells the test it is there and waits; the test waits for that with WaitArrived()
// and ends the hold with Release().
#pragma once

#include <windows.h>

#include "common/win/unique_handle.h"

namespace kiv_test {

class ThreadLatch {
 public:
  ThreadLatch()
      : m_arrived(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        m_released(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ThreadLatch(const ThreadLatch&) = delete;
  ThreadLatch& operator=(const ThreadLatch&) = delete;

  void Arrive() {
    SetEvent(m_arrived.get());
    WaitForSingleObject(m_released.get(), INFINITE);
  }
  // The test's time-out bounds the wait.
  void WaitArrived() { WaitForSingleObject(m_arrived.get(), INFINITE); }
  void Release() { SetEvent(m_released.get()); }

 private:
  kiv_common::UniqueHandle m_arrived;
  kiv_common::UniqueHandle m_released;
};

}  // namespace kiv_test
