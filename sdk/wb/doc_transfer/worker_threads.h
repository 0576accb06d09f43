// The threads an owner starts for its own work, joined before the owner goes, so that none
// runs code of the library after it. Finished threads are joined when the next one starts.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace kiv_wb {

class WorkerThreads {
 public:
  WorkerThreads() = default;
  ~WorkerThreads() { StopAndJoin(); }
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;

  // Runs `work` on a thread of its own; false (nothing runs) when no thread can be made or
  // StopAndJoin has begun.
  template <class Work>
  bool Start(Work work) {
    JoinFinished();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_stopped) return false;
    try {
      m_workers.push_back(Worker{std::thread([done, work = std::move(work)]() mutable {
                                   work();
                                   done->store(true);
                                 }),
                                 done});
    } catch (const std::system_error&) {
      return false;
    }
    return true;
  }

  // From now on nothing starts; returns once every thread has ended. A thread of this set
  // that calls it is not waited for (it is the one returning).
  void StopAndJoin() {
    for (;;) {
      std::vector<Worker> workers;
      {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stopped = true;
        workers.swap(m_workers);
      }
      if (workers.empty()) return;
      for (Worker& worker : workers) Join(worker);
    }
  }

  size_t Count() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_workers.size();
  }

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };

  static void Join(Worker& worker) {
    if (worker.thread.get_id() == std::this_thread::get_id()) {
      worker.thread.detach();
    } else if (worker.thread.joinable()) {
      worker.thread.join();
    }
  }

  void JoinFinished() {
    std::vector<Worker> finished;
    {
      std::lock_guard<std::mutex> guard(m_lock);
      for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (it->done->load()) {
          finished.push_back(std::move(*it));
          it = m_workers.erase(it);
        } else {
          ++it;
        }
      }
    }
    for (Worker& worker : finished) Join(worker);
  }

  std::mutex m_lock;  // guards m_workers and m_stopped
  std::vector<Worker> m_workers;
  bool m_stopped = false;
};

}  // namespace kiv_wb
