// Runs one remote stream's operations at the framework one at a time, with no lock held
// across them. A caller waits for its turn and runs its operation itself, so that what it
// asked for is done when it returns. A caller that must not wait runs nothing itself while
// another thread is at work: the thread at work itself, and a thread inside one of the
// framework's callbacks to a remote stream (the thread at work may be in a framework call
// that waits for that callback). Its operation is queued, and the thread at work runs it
// after its own, in the order asked.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "base/system/callback_slot.h"

namespace kiv_core {

class StreamTurns {
 public:
  // Marks the calling thread as inside a framework callback to a remote stream.
  class CallbackScope {
   public:
    CallbackScope() { ++Depth(); }
    ~CallbackScope() { --Depth(); }
    CallbackScope(const CallbackScope&) = delete;
    CallbackScope& operator=(const CallbackScope&) = delete;
  };

  StreamTurns() = default;
  StreamTurns(const StreamTurns&) = delete;
  StreamTurns& operator=(const StreamTurns&) = delete;

  // Runs `op` in turn and returns its result, or queues it for the thread at work and
  // returns 0. An operation (queued or not) is destroyed only after the last use of this
  // object: a queued one may hold the last reference to its owner.
  int Run(std::function<int()> op) {
    std::vector<std::function<int()>> done;  // goes last, after the lock
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_busy) {
      if (m_worker == std::this_thread::get_id() || InCallback()) {
        m_queued.push_back(std::move(op));
        return 0;
      }
      ZORVANTE::CallsInFlight::NotifyWaiting();
      m_free.wait(lock, [this] { return !m_busy; });
    }
    m_busy = true;
    m_worker = std::this_thread::get_id();
    lock.unlock();
    const int result = op();
    done.push_back(std::move(op));
    lock.lock();
    while (!m_queued.empty()) {
      std::function<int()> next = std::move(m_queued.front());
      m_queued.pop_front();
      lock.unlock();
      (void)next();
      done.push_back(std::move(next));
      lock.lock();
    }
    m_busy = false;
    m_worker = std::thread::id();
    m_free.notify_all();
    lock.unlock();
    return result;
  }

  // Whether the calling thread is inside a framework callback to a remote stream.
  static bool InCallback() { return Depth() > 0; }

 private:
  static int& Depth() {
    static thread_local int depth = 0;
    return depth;
  }

  std::mutex m_mutex;
  std::condition_variable m_free;
  bool m_busy = false;
  std::thread::id m_worker;
  std::deque<std::function<int()>> m_queued;
};

}  // namespace kiv_core
