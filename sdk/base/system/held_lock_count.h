// The count of SDK locks each thread holds, kept by every lock of ours (WLock, CountedLock).
// Tests assert that it is zero wherever the SDK calls out: into the framework's waiting
// calls, into the network and into the application's handlers and observers.
#pragma once

#include <utility>

namespace ZORVANTE {

// How many SDK locks the calling thread holds (a re-entered lock counts each time).
int HeldLockCount();
void NoteLockTaken();
void NoteLockReleased();

// A standard mutex that counts in HeldLockCount while it is held; for std::lock_guard and
// std::unique_lock.
template <class Mutex>
class CountedLock {
 public:
  CountedLock() = default;
  CountedLock(const CountedLock&) = delete;
  CountedLock& operator=(const CountedLock&) = delete;

  void lock() {
    m_mutex.lock();
    NoteLockTaken();
  }
  bool try_lock() {
    if (!m_mutex.try_lock()) return false;
    NoteLockTaken();
    return true;
  }
  void unlock() {
    NoteLockReleased();
    m_mutex.unlock();
  }

 private:
  Mutex m_mutex;
};

}  // namespace ZORVANTE
