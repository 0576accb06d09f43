#include "base/system/w_lock.h"

#include <atomic>

namespace ZORVANTE {

namespace {
std::atomic<WLock::WaitObserver> g_waitObserver{nullptr};
}  // namespace

WLock::WLock() { InitializeCriticalSection(&m_cs); }

WLock::~WLock() { DeleteCriticalSection(&m_cs); }

void WLock::Lock() {
  if (!TryEnterCriticalSection(&m_cs)) {
    if (WaitObserver observer = g_waitObserver.load()) observer(this);
    EnterCriticalSection(&m_cs);
  }
  NoteLockTaken();
}

void WLock::SetWaitObserver(WaitObserver observer) { g_waitObserver.store(observer); }

void WLock::UnLock() {
  NoteLockReleased();
  LeaveCriticalSection(&m_cs);
}

WAutoLock::WAutoLock(WLock* lock) : m_lock(lock) {
  if (m_lock) m_lock->Lock();
}

WAutoLock::~WAutoLock() {
  if (m_lock) m_lock->UnLock();
}

}  // namespace ZORVANTE
