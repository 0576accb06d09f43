// Slots for application callbacks. A call runs outside every lock of ours, counted as in
// flight; replacing or removing a callback returns once no call on it can still run on
// another thread, so the caller may free it. A change made inside a callback (on the calling
// thread) does not wait for that call, and takes effect before the next call.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace ZORVANTE {

// The calls running on each callback: which thread, on which target.
class CallsInFlight {
 public:
  void Enter(const void* target) { m_calls.push_back({std::this_thread::get_id(), target}); }
  void Leave(const void* target) {
    auto self = std::this_thread::get_id();
    auto it = std::find_if(m_calls.rbegin(), m_calls.rend(),
                           [&](const Call& c) { return c.thread == self && c.target == target; });
    if (it != m_calls.rend()) m_calls.erase(std::next(it).base());
    m_idle.notify_all();
  }
  // Waits (with `lock` released) until no other thread runs a call on `target`.
  void WaitNoneOn(std::unique_lock<std::mutex>& lock, const void* target) {
    auto self = std::this_thread::get_id();
    auto idle = [&] {
      return std::none_of(m_calls.begin(), m_calls.end(),
                          [&](const Call& c) { return c.target == target && c.thread != self; });
    };
    if (idle()) return;
    NotifyWaiting();
    m_idle.wait(lock, idle);
  }
  // Waits (with `lock` released) until no other thread runs a call on any target but `keep`.
  void WaitNoneBut(std::unique_lock<std::mutex>& lock, const void* keep) {
    auto self = std::this_thread::get_id();
    auto idle = [&] {
      return std::none_of(m_calls.begin(), m_calls.end(),
                          [&](const Call& c) { return c.target != keep && c.thread != self; });
    };
    if (idle()) return;
    NotifyWaiting();
    m_idle.wait(lock, idle);
  }

  // Called on a thread that is about to wait for a call in flight, so that tests see the
  // wait without timing it; null (the default) for none.
  using WaitObserver = void (*)();
  static void SetWaitObserver(WaitObserver observer) { Observer().store(observer); }
  // Tells the observer; for the SDK's other waits for work in flight on another thread.
  static void NotifyWaiting() {
    if (WaitObserver observer = Observer().load()) observer();
  }

 private:
  struct Call {
    std::thread::id thread;
    const void* target;
  };
  static std::atomic<WaitObserver>& Observer() {
    static std::atomic<WaitObserver> observer{nullptr};
    return observer;
  }

  std::vector<Call> m_calls;
  std::condition_variable m_idle;
};

// One callback (an event handler, an observer), or none.
template <class T>
class CallbackSlot {
 public:
  CallbackSlot() = default;
  ~CallbackSlot() { Set(nullptr); }
  CallbackSlot(const CallbackSlot&) = delete;
  CallbackSlot& operator=(const CallbackSlot&) = delete;

  // Calls fn(T&) on the current callback, if there is one; returns whether it was called.
  template <class Fn>
  bool Call(Fn&& fn) {
    T* target;
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      target = m_callback;
      if (!target) return false;
      m_calls.Enter(target);
    }
    Leaving leaving{this, target};
    fn(*target);
    return true;
  }

  // Replaces the callback; returns the old one once no other thread runs a call on it, nor
  // on one that a change made meanwhile on another thread replaced (that change may still
  // be waiting: a second removal does not return before the first one could).
  T* Set(T* callback) {
    std::unique_lock<std::mutex> lock(m_mutex);
    T* old = m_callback;
    m_callback = callback;
    if (old != callback || !callback) m_calls.WaitNoneBut(lock, callback);
    return old;
  }

  // The current callback, for information only: never call through it.
  T* Peek() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_callback;
  }

 private:
  struct Leaving {
    CallbackSlot* slot;
    T* target;
    ~Leaving() {
      std::lock_guard<std::mutex> guard(slot->m_mutex);
      slot->m_calls.Leave(target);
    }
  };

  mutable std::mutex m_mutex;
  T* m_callback = nullptr;
  CallsInFlight m_calls;
};

// A set of callbacks called in the order they were added; each is called only while it is
// still in the set, so one removed inside another's call is not called afterwards.
template <class T>
class CallbackSet {
 public:
  CallbackSet() = default;
  CallbackSet(const CallbackSet&) = delete;
  CallbackSet& operator=(const CallbackSet&) = delete;

  // Adds a callback; returns false when it is already in the set or null.
  bool Add(T* callback) {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (!callback || Contains(callback)) return false;
    m_callbacks.push_back(callback);
    return true;
  }

  // Removes a callback; returns once no other thread runs a call on it, also when it was no
  // longer in the set (another thread's removal of it may still be waiting for that call).
  // Returns whether it was in the set.
  bool Remove(T* callback) {
    std::unique_lock<std::mutex> lock(m_mutex);
    auto it = std::find(m_callbacks.begin(), m_callbacks.end(), callback);
    const bool found = it != m_callbacks.end();
    if (found) m_callbacks.erase(it);
    m_calls.WaitNoneOn(lock, callback);
    return found;
  }

  // Removes every callback; returns once no other thread runs a call on any of them.
  void Clear() {
    std::unique_lock<std::mutex> lock(m_mutex);
    std::vector<T*> removed;
    removed.swap(m_callbacks);
    for (T* callback : removed) m_calls.WaitNoneOn(lock, callback);
  }

  // Calls fn(T&) on every callback still in the set when its turn comes.
  template <class Fn>
  void ForEach(Fn&& fn) {
    std::vector<T*> order;
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      order = m_callbacks;
    }
    for (T* target : order) {
      {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (!Contains(target)) continue;
        m_calls.Enter(target);
      }
      Leaving leaving{this, target};
      fn(*target);
    }
  }

  bool Empty() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_callbacks.empty();
  }

 private:
  struct Leaving {
    CallbackSet* set;
    T* target;
    ~Leaving() {
      std::lock_guard<std::mutex> guard(set->m_mutex);
      set->m_calls.Leave(target);
    }
  };
  bool Contains(T* callback) const {
    return std::find(m_callbacks.begin(), m_callbacks.end(), callback) != m_callbacks.end();
  }

  mutable std::mutex m_mutex;
  std::vector<T*> m_callbacks;
  CallsInFlight m_calls;
};

}  // namespace ZORVANTE
