#include "fault_spec.h"

#include <gtest/gtest.h>

namespace {

using tessarine::FaultSpec;

// Steps are split at commas, semicolons and white space, and matched without case.
TEST(FaultSpecTest, SplitsAndMatchesWithoutCase) {
  FaultSpec spec(" IAvNet.Initialize, ilogcenter;GetObject\tPMDll.NoInit ");
  EXPECT_EQ(spec.steps().size(), 4u);
  EXPECT_TRUE(spec.Contains("IAvNet.Initialize"));
  EXPECT_TRUE(spec.Contains("iavnet.initialize"));
  EXPECT_TRUE(spec.Contains("ILogCenter"));
  EXPECT_TRUE(spec.Contains("GETOBJECT"));
  EXPECT_TRUE(spec.Contains("PMDll.NoInit"));
}

// Only whole step names match: a prefix or a longer name is a different step.
TEST(FaultSpecTest, MatchesWholeNamesOnly) {
  FaultSpec spec("IAvNet");
  EXPECT_TRUE(spec.Contains("IAvNet"));
  EXPECT_FALSE(spec.Contains("IAvNet.Initialize"));
  EXPECT_FALSE(spec.Contains("IAv"));
  EXPECT_FALSE(FaultSpec("PMDll").Contains("PMDll.NoInit"));
}

// An empty or separator-only value names nothing.
TEST(FaultSpecTest, EmptyValueNamesNothing) {
  EXPECT_TRUE(FaultSpec("").empty());
  EXPECT_TRUE(FaultSpec(" ,;; \t").empty());
  EXPECT_FALSE(FaultSpec(",,").Contains(""));
}

}  // namespace
