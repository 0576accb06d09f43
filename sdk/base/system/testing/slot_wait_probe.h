// Runs a body on a thread of its own and tells, without timing anything, whether that
// thread stopped to wait for a call in flight in a CallbackSlot or CallbackSet, or ran to
// its end. One probe at a time.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "base/system/callback_slot.h"

namespace kiv_test {

class SlotWaitProbe {
 public:
  explicit SlotWaitProbe(std::function<void()> body) {
    Current().store(this);
    ZORVANTE::CallsInFlight::SetWaitObserver(&Observe);
    m_thread = std::thread([this, body] {
      m_threadId.store(std::this_thread::get_id());
      body();
      Signal(&m_finished);
    });
  }
  ~SlotWaitProbe() {
    Join();
    ZORVANTE::CallsInFlight::SetWaitObserver(nullptr);
    Current().store(nullptr);
  }
  SlotWaitProbe(const SlotWaitProbe&) = delete;
  SlotWaitProbe& operator=(const SlotWaitProbe&) = delete;

  // Blocks until the body waits for a call in flight (true) or has ended without (false).
  bool WaitsForCall() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [&] { return m_waiting || m_finished; });
    return m_waiting;
  }
  void Join() {
    if (m_thread.joinable()) m_thread.join();
  }
  // Watches the calling thread instead of the body's own, for a body that hands its work to
  // another thread: called from that work.
  static void WatchThisThread() {
    if (SlotWaitProbe* probe = Current().load()) probe->m_threadId.store(std::this_thread::get_id());
  }

 private:
  static std::atomic<SlotWaitProbe*>& Current() {
    static std::atomic<SlotWaitProbe*> current{nullptr};
    return current;
  }
  static void Observe() {
    SlotWaitProbe* probe = Current().load();
    if (probe && probe->m_threadId.load() == std::this_thread::get_id()) probe->Signal(&probe->m_waiting);
  }
  void Signal(bool* flag) {
    std::lock_guard<std::mutex> guard(m_mutex);
    *flag = true;
    m_changed.notify_all();
  }

  std::mutex m_mutex;
  std::condition_variable m_changed;
  bool m_waiting = false;
  bool m_finished = false;
  std::atomic<std::thread::id> m_threadId{};
  std::thread m_thread;
};

}  // namespace kiv_test
