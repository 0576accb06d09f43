// Runs a body on a thread of its own and tells, without timing anything, whether that
// thread stopped to wait for a ZORVANTE::WLock another thread holds, or for a callback
// slot's call in flight on another thread, or ran to its end. One probe at a time.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

#include "base/system/callback_slot.h"
#include "base/system/w_lock.h"
#include "common/win/unique_handle.h"

namespace kiv_test {

class LockWaitProbe {
 public:
  explicit LockWaitProbe(std::function<void()> body)
      : m_waiting(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        m_finished(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    Current().store(this);
    ZORVANTE::WLock::SetWaitObserver(&Observe);
    ZORVANTE::CallsInFlight::SetWaitObserver(&ObserveCall);
    m_thread = std::thread([this, body] {
      m_threadId.store(GetCurrentThreadId());
      body();
      SetEvent(m_finished.get());
    });
  }
  ~LockWaitProbe() {
    Join();
    ZORVANTE::WLock::SetWaitObserver(nullptr);
    ZORVANTE::CallsInFlight::SetWaitObserver(nullptr);
    Current().store(nullptr);
  }
  LockWaitProbe(const LockWaitProbe&) = delete;
  LockWaitProbe& operator=(const LockWaitProbe&) = delete;

  // Blocks until the body waits for a lock (true) or has ended without waiting (false).
  bool WaitsForLock() {
    const HANDLE events[2] = {m_waiting.get(), m_finished.get()};
    return WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0;
  }
  void Join() {
    if (m_thread.joinable()) m_thread.join();
  }

 private:
  static std::atomic<LockWaitProbe*>& Current() {
    static std::atomic<LockWaitProbe*> current{nullptr};
    return current;
  }
  static void ObserveCall() { Observe(nullptr); }
  static void Observe(const ZORVANTE::WLock*) {
    LockWaitProbe* probe = Current().load();
    if (probe && probe->m_threadId.load() == GetCurrentThreadId()) SetEvent(probe->m_waiting.get());
  }

  kiv_common::UniqueHandle m_waiting;
  kiv_common::UniqueHandle m_finished;
  std::atomic<DWORD> m_threadId{0};
  std::thread m_thread;
};

}  // namespace kiv_test
