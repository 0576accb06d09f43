#include "core/control/cp_error.h"

#include <gtest/gtest.h>

#include "kiv_error.h"

using namespace kiv_core;

// Known control-plane codes pass, 36 becomes 34, anything else (negatives too) becomes 302.
TEST(CpErrorTest, Mapping) {
  for (int kept : {0, 1, 2, 30, 31, 32, 33, 34, 35, 70, 301}) EXPECT_EQ(kiv_core::MapCpError(kept), kept);
  EXPECT_EQ(kiv_core::MapCpError(36), ERR_USER_ALREADY_LOGINED);
  EXPECT_EQ(kiv_core::MapCpError(3), ERR_FAILED);
  EXPECT_EQ(kiv_core::MapCpError(ERR_FAILED), ERR_FAILED);
  EXPECT_EQ(kiv_core::MapCpError(static_cast<int>(0x80004005)), ERR_FAILED);
}
