#include "keyed_turns.h"

#include <atomic>

namespace tessarine {

namespace {
std::atomic<KeyedTurns::WaitObserver> g_wait_observer{nullptr};
}  // namespace

void KeyedTurns::SetWaitObserver(WaitObserver observer) { g_wait_observer.store(observer); }

void KeyedTurns::NotifyWaiting() {
  if (WaitObserver observer = g_wait_observer.load()) observer();
}

void KeyedTurns::Take(std::unique_lock<std::mutex>& lock, const std::string& key) {
  auto free = [&] { return taken_.count(key) == 0; };
  if (!free()) {
    NotifyWaiting();
    given_.wait(lock, free);
  }
  taken_.insert(key);
}

void KeyedTurns::WaitNone(std::unique_lock<std::mutex>& lock) {
  auto none = [&] { return taken_.empty(); };
  if (none()) return;
  NotifyWaiting();
  given_.wait(lock, none);
}

void KeyedTurns::Give(const std::string& key) {
  taken_.erase(key);
  given_.notify_all();
}

}  // namespace tessarine
