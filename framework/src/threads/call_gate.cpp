#include "call_gate.h"

#include <algorithm>
#include <atomic>

namespace tessarine {

namespace {
std::atomic<CallGate::WaitObserver> g_wait_observer{nullptr};
}  // namespace

void CallGate::SetWaitObserver(WaitObserver observer) { g_wait_observer.store(observer); }

bool CallGate::Enter() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_) return false;
  inside_.push_back(std::this_thread::get_id());
  return true;
}

void CallGate::Leave() {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = std::find(inside_.begin(), inside_.end(), std::this_thread::get_id());
  if (it != inside_.end()) inside_.erase(it);
  idle_.notify_all();
}

void CallGate::Close() {
  std::unique_lock<std::mutex> lock(mutex_);
  closed_ = true;
  const std::thread::id self = std::this_thread::get_id();
  auto idle = [&] {
    return std::all_of(inside_.begin(), inside_.end(), [&](const std::thread::id& t) { return t == self; });
  };
  if (idle()) return;
  if (WaitObserver observer = g_wait_observer.load()) observer();
  idle_.wait(lock, idle);
}

bool CallGate::closed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

}  // namespace tessarine
