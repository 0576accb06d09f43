// Makes a use after free of one kind of object fault at once: while a
// ScopedGuardedAllocations lives, every allocation of exactly its size on its thread gets
// pages of its own, and deleting it makes those pages unreadable for good (they are never
// handed out again). The test program's operator new and delete do this; every other
// allocation goes to malloc and free as usual.
#pragma once

#include <cstddef>

class ScopedGuardedAllocations {
 public:
  explicit ScopedGuardedAllocations(size_t size);
  ~ScopedGuardedAllocations();
  ScopedGuardedAllocations(const ScopedGuardedAllocations&) = delete;
  ScopedGuardedAllocations& operator=(const ScopedGuardedAllocations&) = delete;

  // Guarded allocations made, and deleted, while this lived.
  int made() const;
  int deleted() const;

 private:
  int m_madeBefore;
  int m_deletedBefore;
};
