#include "common/win/unique_handle.h"

#include <gtest/gtest.h>

#include <memory>
#include <utility>

#include "common/win/gdi_object.h"
#include "common/win/posted_object.h"

namespace {

bool IsOpen(HANDLE h) {
  DWORD flags = 0;
  return GetHandleInformation(h, &flags) != FALSE;
}

// Verifies that both failure values test false and that Reset, move and destruction close
// exactly the handle held.
TEST(UniqueHandleTest, ClosesWhatItHolds) {
  EXPECT_FALSE(kiv_common::UniqueHandle(INVALID_HANDLE_VALUE));
  EXPECT_FALSE(kiv_common::UniqueHandle(nullptr));

  HANDLE first = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE second = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(first && second);
  {
    kiv_common::UniqueHandle owner(first);
    kiv_common::UniqueHandle moved(std::move(owner));
    EXPECT_FALSE(owner);
    EXPECT_EQ(moved.get(), first);
    moved.Reset(second);
    EXPECT_FALSE(IsOpen(first));
    EXPECT_TRUE(IsOpen(second));
  }
  EXPECT_FALSE(IsOpen(second));
}

// Verifies that the GDI owner deletes its object on Reset and on destruction.
TEST(UniqueGdiObjectTest, DeletesWhatItHolds) {
  HBRUSH first = CreateSolidBrush(RGB(1, 2, 3));
  HBRUSH second = CreateSolidBrush(RGB(4, 5, 6));
  ASSERT_TRUE(first && second);
  {
    kiv_common::UniqueGdiObject<HBRUSH> brush(first);
    kiv_common::UniqueGdiObject<HBRUSH> moved(std::move(brush));
    EXPECT_FALSE(brush);
    moved.Reset(second);
    EXPECT_EQ(GetObjectType(first), 0u);
    EXPECT_EQ(GetObjectType(second), static_cast<DWORD>(OBJ_BRUSH));
  }
  EXPECT_EQ(GetObjectType(second), 0u);
}

struct Record {
  explicit Record(int* freed) : freed_(freed) {}
  ~Record() { ++*freed_; }
  int* freed_;
};

// Verifies that a posted object travels with a successful post, is freed when the post
// fails, and belongs to the receiver once taken back.
TEST(PostedObjectTest, OwnedByWhoeverHoldsIt) {
  int freed = 0;
  EXPECT_FALSE(kiv_common::PostOwned(std::make_unique<Record>(&freed), [](WPARAM) { return false; }));
  EXPECT_EQ(freed, 1);

  WPARAM carried = 0;
  EXPECT_TRUE(kiv_common::PostOwned(std::make_unique<Record>(&freed), [&](WPARAM w) {
    carried = w;
    return true;
  }));
  EXPECT_EQ(freed, 1);
  ASSERT_NE(carried, 0u);
  kiv_common::TakePosted<Record>(carried).reset();
  EXPECT_EQ(freed, 2);
}

}  // namespace
