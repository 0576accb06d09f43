// The test builds' check of the threading rule: wherever the SDK calls out (into a fake's
// call that the real framework makes wait for a callback in flight, into a test
// application's handler or observer), the calling thread holds no WLock of ours. Compiled
// in where the SDK's base library is linked (KIV_HELD_LOCK_COUNT); elsewhere, as in the
// tests that load the library by name, the count is the library's own and not visible.
#pragma once

#include <gtest/gtest.h>

#ifdef KIV_HELD_LOCK_COUNT
#include "base/system/w_lock.h"
#endif

namespace kiv_test {

inline void ExpectNoLockHeld(const char* call) {
#ifdef KIV_HELD_LOCK_COUNT
  const int held = ZORVANTE::HeldLockCount();
  if (held != 0) ADD_FAILURE() << call << " called with " << held << " lock(s) of the SDK held";
#else
  (void)call;
#endif
}

}  // namespace kiv_test
