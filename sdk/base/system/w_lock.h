// Critical-section lock and its scoped guard.
#pragma once

#include <windows.h>

#include "base/system/held_lock_count.h"

namespace ZORVANTE {

// Re-entrant for the owning thread.
class WLock {
 public:
  // Called on a thread that is about to wait for a lock another thread holds. Lets tests
  // see that a thread has reached a lock without timing it; null (the default) for none.
  using WaitObserver = void (*)(const WLock* lock);

  WLock();
  virtual ~WLock();
  WLock(const WLock&) = delete;
  WLock& operator=(const WLock&) = delete;

  void Lock();
  void UnLock();

  static void SetWaitObserver(WaitObserver observer);

 private:
  CRITICAL_SECTION m_cs;
};

// Locks in the constructor and unlocks in the destructor; a null lock is allowed.
class WAutoLock {
 public:
  explicit WAutoLock(WLock* lock);
  virtual ~WAutoLock();
  WAutoLock(const WAutoLock&) = delete;
  WAutoLock& operator=(const WAutoLock&) = delete;

 private:
  WLock* m_lock;
};

}  // namespace ZORVANTE
