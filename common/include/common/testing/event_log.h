// Test support: events recorded from any thread and awaited by a test, each taken once.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace kiv_common {

// Event has a std::string member "kind".
template <typename Event>
class EventLog {
 public:
  void Push(Event e) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(std::move(e));
    taken_.push_back(false);
    cv_.notify_all();
  }

  // Waits (up to timeout_ms) for the first event of that kind not taken yet that matches;
  // takes it (events before it stay) and copies it to out (may be null).
  bool Wait(const std::string& kind, Event* out, int timeout_ms, const std::function<bool(const Event&)>& match) {
    std::unique_lock<std::mutex> lock(mutex_);
    size_t found = 0;
    const bool ok = cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] {
      for (size_t i = 0; i < events_.size(); ++i) {
        if (!taken_[i] && events_[i].kind == kind && (!match || match(events_[i]))) {
          found = i;
          return true;
        }
      }
      return false;
    });
    if (!ok) return false;
    taken_[found] = true;
    if (out != nullptr) *out = events_[found];
    return true;
  }

  // The kinds of every event so far, taken or not, in order.
  std::vector<std::string> Kinds() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> out;
    for (const auto& e : events_) out.push_back(e.kind);
    return out;
  }

  size_t Count(const std::string& kind) const {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t n = 0;
    for (const auto& e : events_) n += e.kind == kind ? 1 : 0;
    return n;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<Event> events_;  // guarded by mutex_
  std::vector<bool> taken_;    // guarded by mutex_, one per event
};

}  // namespace kiv_common
