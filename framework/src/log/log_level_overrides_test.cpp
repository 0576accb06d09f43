#include "log_level_overrides.h"

#include <gtest/gtest.h>

namespace {

using tessarine::LogLevelOverrides;

// Each "module=level" pair sets that module's level; other modules keep the fallback.
TEST(LogLevelOverridesTest, PairsOverrideByExactModuleName) {
  LogLevelOverrides overrides("kivcore=3; kiv_wb = 1,other=-1");
  EXPECT_EQ(overrides.LevelOf("kivcore", 1), 3);
  EXPECT_EQ(overrides.LevelOf("kiv_wb", 5), 1);
  EXPECT_EQ(overrides.LevelOf("other", 2), -1);
  EXPECT_EQ(overrides.LevelOf("KIVCORE", 1), 1);
  EXPECT_EQ(overrides.LevelOf("tessarine", 2), 2);
}

// Malformed entries are skipped without disturbing the valid ones.
TEST(LogLevelOverridesTest, MalformedEntriesAreIgnored) {
  LogLevelOverrides overrides("=3,kivcore,kivcore=x,kiv_wb=2z,a=4,b=99999999999,c=+2");
  EXPECT_EQ(overrides.LevelOf("kivcore", 1), 1);
  EXPECT_EQ(overrides.LevelOf("kiv_wb", 1), 1);
  EXPECT_EQ(overrides.LevelOf("a", 1), 4);
  EXPECT_EQ(overrides.LevelOf("b", 1), 1);
  EXPECT_EQ(overrides.LevelOf("c", 1), 2);
  EXPECT_EQ(LogLevelOverrides("").LevelOf("a", 7), 7);
}

}  // namespace
