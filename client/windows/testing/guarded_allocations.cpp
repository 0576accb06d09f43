#include "windows/testing/guarded_allocations.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

constexpr int kSlots = 256;

struct Slot {
  std::atomic<void*> base{nullptr};
  size_t length = 0;  // written before base
};

Slot g_slots[kSlots];
std::atomic<int> g_used{0};
std::atomic<size_t> g_size{0};
std::atomic<DWORD> g_thread{0};
std::atomic<int> g_made{0};
std::atomic<int> g_deleted{0};

void* GuardedAllocate(size_t size) {
  const int index = g_used.fetch_add(1);
  if (index >= kSlots) return nullptr;
  const size_t length = (size + 4095) & ~static_cast<size_t>(4095);
  void* base = ::VirtualAlloc(nullptr, length, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
  if (!base) return nullptr;
  g_slots[index].length = length;
  g_slots[index].base.store(base);
  g_made.fetch_add(1);
  return base;
}

// True when `p` was a guarded allocation; its pages are unreadable then.
bool GuardedRelease(void* p) {
  const int used = g_used.load() < kSlots ? g_used.load() : kSlots;
  for (int i = 0; i < used; ++i) {
    if (g_slots[i].base.load() != p) continue;
    DWORD old = 0;
    ::VirtualProtect(p, g_slots[i].length, PAGE_NOACCESS, &old);
    g_deleted.fetch_add(1);
    return true;
  }
  return false;
}

void* Allocate(size_t size) {
  if (size == g_size.load() && ::GetCurrentThreadId() == g_thread.load()) {
    if (void* p = GuardedAllocate(size)) return p;
  }
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

void Release(void* p) {
  if (!p || GuardedRelease(p)) return;
  std::free(p);
}

}  // namespace

ScopedGuardedAllocations::ScopedGuardedAllocations(size_t size)
    : m_madeBefore(g_made.load()), m_deletedBefore(g_deleted.load()) {
  g_thread.store(::GetCurrentThreadId());
  g_size.store(size);
}

ScopedGuardedAllocations::~ScopedGuardedAllocations() {
  g_size.store(0);
  g_thread.store(0);
}

int ScopedGuardedAllocations::made() const { return g_made.load() - m_madeBefore; }
int ScopedGuardedAllocations::deleted() const { return g_deleted.load() - m_deletedBefore; }

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }
