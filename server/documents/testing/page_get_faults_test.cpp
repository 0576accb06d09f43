#include "server/documents/testing/page_get_faults.h"

#include <gtest/gtest.h>

namespace kiv_server {
namespace {

// Verifies the switch's text: a count, optionally with the way the transfers fail.
TEST(PageGetFaultsTest, ParsesCountAndMode) {
  PageGetFaults f;
  ASSERT_TRUE(PageGetFaults::Parse("2", &f));
  EXPECT_EQ(f.left(), 2u);
  ASSERT_TRUE(PageGetFaults::Parse("1:stall", &f));
  EXPECT_EQ(f.Next(), HttpDelivery::kStall);
  for (const char* bad : {"", ":reset", "x", "-1", "2:drop", "1234567890", "2:"}) {
    EXPECT_FALSE(PageGetFaults::Parse(bad, &f)) << bad;
  }
}

// Verifies that only the first N GETs fail and every later one is answered.
TEST(PageGetFaultsTest, FailsTheFirstTransfersOnly) {
  PageGetFaults f;
  ASSERT_TRUE(PageGetFaults::Parse("2:reset", &f));
  IPageGetDelivery& delivery = f;
  EXPECT_EQ(delivery.Next(), HttpDelivery::kReset);
  EXPECT_EQ(delivery.Next(), HttpDelivery::kReset);
  EXPECT_EQ(delivery.Next(), HttpDelivery::kAnswer);
  EXPECT_EQ(delivery.Next(), HttpDelivery::kAnswer);
  EXPECT_EQ(f.left(), 0u);
}

}  // namespace
}  // namespace kiv_server
