#include "log_level_spec.h"

#include <gtest/gtest.h>

namespace {

using tessarine::LogLevelSpec;

// Each "module=level" pair sets that module's level; other modules keep the fallback.
TEST(LogLevelSpecTest, PairsOverrideByExactModuleName) {
  LogLevelSpec spec("kivcore=3; kiv_wb = 1,other=-1");
  EXPECT_EQ(spec.LevelOf("kivcore", 1), 3);
  EXPECT_EQ(spec.LevelOf("kiv_wb", 5), 1);
  EXPECT_EQ(spec.LevelOf("other", 2), -1);
  EXPECT_EQ(spec.LevelOf("KIVCORE", 1), 1);
  EXPECT_EQ(spec.LevelOf("tessarine", 2), 2);
}

// Malformed entries are skipped without disturbing the valid ones.
TEST(LogLevelSpecTest, MalformedEntriesAreIgnored) {
  LogLevelSpec spec("=3,kivcore,kivcore=x,kiv_wb=2z,a=4,b=99999999999,c=+2");
  EXPECT_EQ(spec.LevelOf("kivcore", 1), 1);
  EXPECT_EQ(spec.LevelOf("kiv_wb", 1), 1);
  EXPECT_EQ(spec.LevelOf("a", 1), 4);
  EXPECT_EQ(spec.LevelOf("b", 1), 1);
  EXPECT_EQ(spec.LevelOf("c", 1), 2);
  EXPECT_EQ(LogLevelSpec("").LevelOf("a", 7), 7);
}

}  // namespace
