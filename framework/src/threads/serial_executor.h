// A thread of its own that runs tasks one after another, for a library that must be
// called from one thread only: Run() hands a task over and waits for it. A task that
// calls Run() on the executor's own thread runs at once. The thread ends with the
// executor, after the tasks handed over before. Pure logic (no Win32).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tessarine {

class SerialExecutor {
 public:
  SerialExecutor();
  ~SerialExecutor();
  SerialExecutor(const SerialExecutor&) = delete;
  SerialExecutor& operator=(const SerialExecutor&) = delete;

  void Run(const std::function<void()>& task);
  [[nodiscard]] bool OnThread() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  struct Task {
    const std::function<void()>* work;
    bool done;
  };
  void Loop();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::deque<Task*> queue_;
  bool stopping_ = false;
  std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace tessarine
