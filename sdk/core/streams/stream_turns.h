// Runs one stream's operations at the framework one at a time, with no lock held
// across them: an operation asked for while another thread runs one is queued, and the
// thread at work runs it after its own, in the order asked. So framework calls that wait
// for a callback in flight are made with no lock of ours held, and a callback that asks for
// an operation of the same stream does not wait for the thread at work.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace kiv_core {

class StreamTurns {
 public:
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
      m_queued.push_back(std::move(op));
      return 0;
    }
    m_busy = true;
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
    lock.unlock();
    return result;
  }

 private:
  std::mutex m_mutex;
  bool m_busy = false;
  std::deque<std::function<int()>> m_queued;
};

}  // namespace kiv_core
