#include "vorax_mutex.h"

#include <new>

#ifdef _WIN32
#include <windows.h>
using PlatformLock = CRITICAL_SECTION;
#else
#include <mutex>
using PlatformLock = std::recursive_mutex;
#endif

namespace VORAX {

namespace {
static_assert(sizeof(PlatformLock) <= 64, "lock storage too small");
static_assert(alignof(PlatformLock) <= alignof(std::max_align_t), "lock storage misaligned");
}  // namespace

#ifdef _WIN32

Mutex::Mutex() {
  auto* cs = reinterpret_cast<CRITICAL_SECTION*>(lock_);
  InitializeCriticalSection(cs);
}

Mutex::~Mutex() { DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(lock_)); }

void Mutex::Lock() { EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(lock_)); }

void Mutex::Unlock() { LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(lock_)); }

#else

Mutex::Mutex() { new (lock_) std::recursive_mutex(); }

Mutex::~Mutex() { std::launder(reinterpret_cast<std::recursive_mutex*>(lock_))->~recursive_mutex(); }

void Mutex::Lock() { std::launder(reinterpret_cast<std::recursive_mutex*>(lock_))->lock(); }

void Mutex::Unlock() { std::launder(reinterpret_cast<std::recursive_mutex*>(lock_))->unlock(); }

#endif

}  // namespace VORAX
