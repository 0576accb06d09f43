#include "base/w_lock.h"

namespace ZORVANTE {

WLock::WLock() { InitializeCriticalSection(&m_cs); }

WLock::~WLock() { DeleteCriticalSection(&m_cs); }

void WLock::Lock() { EnterCriticalSection(&m_cs); }

void WLock::UnLock() { LeaveCriticalSection(&m_cs); }

WAutoLock::WAutoLock(WLock* lock) : m_lock(lock) {
    if (m_lock) m_lock->Lock();
}

WAutoLock::~WAutoLock() {
    if (m_lock) m_lock->UnLock();
}

}  // namespace ZORVANTE
