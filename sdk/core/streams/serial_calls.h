// Runs one object's operations one at a time without holding a lock across them: an
// operation asked for while another thread runs one is queued, and the thread at work runs
// it after its own, in the order asked. So framework calls that wait for a callback in
// flight are made with no lock of ours held, and a callback that asks for an operation of
// the same object does not wait for the thread at work.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "base/system/callback_slot.h"

namespace kiv_core {

class SerialCalls {
 public:
  // Runs `op` now and returns its result, or queues it for the thread at work and returns 0.
  int Run(std::function<int()> op) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_busy) {
      m_queued.push_back(std::move(op));
      return 0;
    }
    m_busy = true;
    m_worker = std::this_thread::get_id();
    lock.unlock();
    const int result = op();
    lock.lock();
    while (!m_queued.empty()) {
      std::function<int()> next = std::move(m_queued.front());
      m_queued.pop_front();
      lock.unlock();
      (void)next();
      next = nullptr;
      lock.lock();
    }
    m_busy = false;
    m_worker = std::thread::id();
    lock.unlock();
    m_idle.notify_all();
    return result;
  }

  // Returns once no other thread runs an operation here.
  void WaitIdle() {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_busy || m_worker == std::this_thread::get_id()) return;
    ZORVANTE::CallsInFlight::NotifyWaiting();
    m_idle.wait(lock, [this] { return !m_busy; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_idle;
  bool m_busy = false;
  std::thread::id m_worker;
  std::deque<std::function<int()>> m_queued;
};

}  // namespace kiv_core
