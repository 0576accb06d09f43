#include "base/system/held_lock_count.h"

namespace ZORVANTE {

namespace {
thread_local int t_heldLocks = 0;
}  // namespace

int HeldLockCount() { return t_heldLocks; }

void NoteLockTaken() { ++t_heldLocks; }

void NoteLockReleased() { --t_heldLocks; }

}  // namespace ZORVANTE
