// The callbacks one fake component holds, by key, and the calls in flight on them: the
// fake framework's threads deliver through Deliver/DeliverAll with no lock held, and a
// removal or replacement returns only once no delivery on that key runs on another thread,
// as the framework's own waiting calls do. Waiting calls check that the SDK holds none of
// its locks; a call made after the engine was released is a fault.
#pragma once

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "stress/stress_activity.h"
#include "stress/stress_faults.h"

namespace kiv_stress {

// Whether the engine was released: every call of the SDK into a fake after that is a fault.
inline std::atomic<bool>& EngineReleased() {
  static std::atomic<bool> released{false};
  return released;
}

// Every entry point of a fake starts with this.
inline void FakeCalled(const char* call) {
  if (EngineReleased().load()) Faults::Instance().Add(std::string("the SDK called ") + call + " after its release");
}

// A waiting call of a fake (stop, remove, unsubscribe, callback change).
inline void WaitingCall(const char* call) {
  FakeCalled(call);
  Faults::Instance().CheckNoLockHeld(call);
}

template <class T>
class Deliveries {
 public:
  explicit Deliveries(const char* component) : m_component(component) {}

  void Add(const std::string& key, const T& value) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_entries[key] = value;
  }
  // Sets or replaces; returns once no call on the old value runs on another thread.
  void Replace(const std::string& key, const T& value, const char* call) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_entries[key] = value;
    WaitIdle(lock, key, call);
  }
  // False when `key` was not held. Returns once no call on it runs on another thread.
  bool Remove(const std::string& key, const char* call) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const bool held = m_entries.erase(key) > 0;
    WaitIdle(lock, key, call);
    return held;
  }
  bool Get(const std::string& key, T* value) {
    std::lock_guard<std::mutex> guard(m_mutex);
    auto it = m_entries.find(key);
    if (it == m_entries.end()) return false;
    if (value) *value = it->second;
    return true;
  }
  // Finds the first key whose value satisfies `match`; "" for none.
  template <class Match>
  std::string FindKey(Match match) {
    std::lock_guard<std::mutex> guard(m_mutex);
    for (auto& entry : m_entries) {
      if (match(entry.second)) return entry.first;
    }
    return std::string();
  }
  std::vector<std::string> Keys() {
    std::lock_guard<std::mutex> guard(m_mutex);
    std::vector<std::string> keys;
    for (auto& entry : m_entries) keys.push_back(entry.first);
    return keys;
  }
  // Calls fn(value) on the held value of `key`, counted in flight; false when none.
  template <class Fn>
  bool Deliver(const std::string& key, Fn fn) {
    T value;
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      auto it = m_entries.find(key);
      if (it == m_entries.end()) return false;
      if (EngineReleased().load()) {
        Faults::Instance().Add(std::string(m_component) + " still held " + key + " after the release");
        m_entries.erase(it);
        return false;
      }
      value = it->second;
      m_inFlight.push_back({std::this_thread::get_id(), key});
    }
    {
      ActivityScope scope(std::string("delivering ") + m_component + " " + key);
      fn(value);
    }
    std::lock_guard<std::mutex> guard(m_mutex);
    auto self = std::this_thread::get_id();
    auto it = std::find_if(m_inFlight.begin(), m_inFlight.end(),
                           [&](const InFlight& c) { return c.thread == self && c.key == key; });
    if (it != m_inFlight.end()) m_inFlight.erase(it);
    m_idle.notify_all();
    return true;
  }
  template <class Fn>
  void DeliverAll(Fn fn) {
    for (const std::string& key : Keys()) Deliver(key, [&](T& value) { fn(key, value); });
  }
  // The keys still held, each reported as a fault; the table is emptied.
  void ReportLeftovers(const char* when) {
    std::lock_guard<std::mutex> guard(m_mutex);
    for (auto& entry : m_entries)
      Faults::Instance().Add(std::string(m_component) + " still held " + entry.first + " " + when);
    m_entries.clear();
  }
  void Clear() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_entries.clear();
  }

 private:
  struct InFlight {
    std::thread::id thread;
    std::string key;
  };
  void WaitIdle(std::unique_lock<std::mutex>& lock, const std::string& key, const char* call) {
    auto self = std::this_thread::get_id();
    auto busy = [&] {
      return std::any_of(m_inFlight.begin(), m_inFlight.end(),
                         [&](const InFlight& c) { return c.key == key && c.thread != self; });
    };
    if (!busy()) return;
    lock.unlock();
    Activity::Instance().Note(std::string("waiting in ") + call + " for a call on " + m_component + " " + key);
    lock.lock();
    m_idle.wait(lock, [&] { return !busy(); });
    lock.unlock();
    Activity::Instance().Note(std::string());
    lock.lock();
  }

  const char* m_component;
  std::mutex m_mutex;
  std::condition_variable m_idle;
  std::map<std::string, T> m_entries;
  std::vector<InFlight> m_inFlight;
};

}  // namespace kiv_stress
