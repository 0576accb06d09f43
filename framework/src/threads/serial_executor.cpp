#include "serial_executor.h"

namespace tessarine {

SerialExecutor::SerialExecutor() : thread_([this] { Loop(); }) {}

SerialExecutor::~SerialExecutor() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) {
    if (OnThread()) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }
}

void SerialExecutor::Run(const std::function<void()>& work) {
  if (OnThread()) {
    work();
    return;
  }
  Task task{&work, false};
  std::unique_lock<std::mutex> lock(mutex_);
  queue_.push_back(&task);
  wake_.notify_all();
  finished_.wait(lock, [&] { return task.done; });
}

void SerialExecutor::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, nothing left
    Task* task = queue_.front();
    queue_.pop_front();
    lock.unlock();
    (*task->work)();
    lock.lock();
    task->done = true;
    finished_.notify_all();
  }
}

}  // namespace tessarine
