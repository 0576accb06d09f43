// The listeners or handlers registered with the connection. Calls go out with no lock
// held; once Remove returns, the removed object is never called again (Remove waits
// for a call in progress on another thread; from inside that call it returns at once).
#pragma once

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace tessarine {

template <typename T>
class CallbackRegistry {
 public:
  // false for null or an object registered already.
  bool Add(T* item) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (item == nullptr || Contains(item)) return false;
    items_.push_back(item);
    return true;
  }

  bool Remove(T* item) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it == items_.end()) return false;
    items_.erase(it);
    const auto self = std::this_thread::get_id();
    cv_.wait(lock, [&] {
      return std::none_of(running_.begin(), running_.end(),
                          [&](const Running& r) { return r.first == item && r.second != self; });
    });
    return true;
  }

  // Calls fn(item) for each registered item, in registration order, until fn returns
  // true; returns whether one did.
  template <typename Fn>
  bool Offer(Fn fn) {
    std::vector<T*> snapshot;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      snapshot = items_;
    }
    for (T* item : snapshot) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Contains(item)) continue;  // removed by an earlier call
        running_.emplace_back(item, std::this_thread::get_id());
      }
      const bool taken = fn(item);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        running_.erase(std::find(running_.begin(), running_.end(), Running(item, std::this_thread::get_id())));
      }
      cv_.notify_all();
      if (taken) return true;
    }
    return false;
  }

  // Calls fn(item) for every registered item.
  template <typename Fn>
  void ForEach(Fn fn) {
    Offer([&](T* item) {
      fn(item);
      return false;
    });
  }

  bool empty() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_.empty();
  }

 private:
  using Running = std::pair<T*, std::thread::id>;
  bool Contains(T* item) const { return std::find(items_.begin(), items_.end(), item) != items_.end(); }

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::vector<T*> items_;
  std::vector<Running> running_;
};

}  // namespace tessarine
