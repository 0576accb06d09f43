// Counts detached threads that use their owner, so that the owner's destructor can wait for
// them to end.
#pragma once

#include <condition_variable>
#include <mutex>

namespace kiv_wb {

class RunningThreads {
 public:
  void Enter() {
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_count;
  }
  void Leave() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (--m_count == 0) m_idle.notify_all();
  }
  void WaitIdle() {
    std::unique_lock<std::mutex> guard(m_lock);
    m_idle.wait(guard, [this] { return m_count == 0; });
  }

 private:
  std::mutex m_lock;
  std::condition_variable m_idle;
  int m_count = 0;
};

}  // namespace kiv_wb
