#include "common/win/com_ref.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

// Counts its references; Release can look at the owner while it runs.
class Counter {
 public:
  unsigned long AddRef() { return ++refs; }
  unsigned long Release() {
    if (onRelease) onRelease();
    return --refs;
  }
  unsigned long refs = 1;
  void (*onRelease)() = nullptr;
};

using Ref = kiv_common::ComRef<Counter>;

// Verifies adoption, Reset, Attach and Detach: one reference held, given back exactly once.
TEST(ComRefTest, HoldsOneReference) {
  Counter a, b;
  {
    Ref ref(&a);
    EXPECT_EQ(a.refs, 1u) << "adopted, no AddRef";
    ref.Attach(&b);
    EXPECT_EQ(a.refs, 0u);
    EXPECT_EQ(ref.get(), &b);
    Counter* detached = ref.Detach();
    EXPECT_EQ(detached, &b);
    EXPECT_FALSE(ref);
    EXPECT_EQ(b.refs, 1u) << "Detach releases nothing";
    ref.Reset();
  }
  EXPECT_EQ(b.refs, 1u);
}

// Verifies that moving hands the reference over without counting, and that move-assignment
// releases what the target held.
TEST(ComRefTest, MovesWithoutCounting) {
  Counter a, b;
  Ref first(&a);
  Ref second(std::move(first));
  EXPECT_FALSE(first);
  EXPECT_EQ(second.get(), &a);
  EXPECT_EQ(a.refs, 1u);
  Ref third(&b);
  third = std::move(second);
  EXPECT_EQ(b.refs, 0u);
  EXPECT_EQ(a.refs, 1u);
  third.Reset();
  EXPECT_EQ(a.refs, 0u);
}

// Verifies Share: a reference of its own, also when sharing what is already held.
TEST(ComRefTest, ShareTakesItsOwnReference) {
  Counter a;
  {
    Ref ref;
    ref.Share(&a);
    EXPECT_EQ(a.refs, 2u);
    ref.Share(&a);
    EXPECT_EQ(a.refs, 2u) << "the new reference is taken before the old one goes";
    ref.Share(nullptr);
    EXPECT_EQ(a.refs, 1u);
  }
  EXPECT_EQ(a.refs, 1u);
}

Ref* g_watched = nullptr;
bool g_nullWhileReleasing = false;

// Verifies that Receive releases what is held before the out-parameter is written, and that
// the holder is already empty while Release runs.
TEST(ComRefTest, ReceiveReleasesFirstAndTheHolderIsEmptyDuringRelease) {
  Counter a, b;
  Ref ref(&a);
  g_watched = &ref;
  a.onRelease = [] { g_nullWhileReleasing = !*g_watched; };
  Counter** out = ref.Receive();
  EXPECT_EQ(a.refs, 0u);
  EXPECT_TRUE(g_nullWhileReleasing);
  *out = &b;
  EXPECT_EQ(ref.get(), &b);
  void** raw = ref.ReceiveVoid();
  EXPECT_EQ(b.refs, 0u);
  EXPECT_EQ(*raw, nullptr);
  g_watched = nullptr;
}

}  // namespace
