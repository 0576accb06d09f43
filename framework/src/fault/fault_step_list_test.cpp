#include "fault_step_list.h"

#include <gtest/gtest.h>

namespace {

using tessarine::FaultStepList;

// Steps are split at commas, semicolons and white space, and matched without case.
TEST(FaultStepListTest, SplitsAndMatchesWithoutCase) {
  FaultStepList faults(" IAvNet.Initialize, ilogcenter;GetObject\tPMDll.NoInit ");
  EXPECT_EQ(faults.steps().size(), 4u);
  EXPECT_TRUE(faults.Contains("IAvNet.Initialize"));
  EXPECT_TRUE(faults.Contains("iavnet.initialize"));
  EXPECT_TRUE(faults.Contains("ILogCenter"));
  EXPECT_TRUE(faults.Contains("GETOBJECT"));
  EXPECT_TRUE(faults.Contains("PMDll.NoInit"));
}

// Only whole step names match: a prefix or a longer name is a different step.
TEST(FaultStepListTest, MatchesWholeNamesOnly) {
  FaultStepList faults("IAvNet");
  EXPECT_TRUE(faults.Contains("IAvNet"));
  EXPECT_FALSE(faults.Contains("IAvNet.Initialize"));
  EXPECT_FALSE(faults.Contains("IAv"));
  EXPECT_FALSE(FaultStepList("PMDll").Contains("PMDll.NoInit"));
}

// An empty or separator-only value names nothing.
TEST(FaultStepListTest, EmptyValueNamesNothing) {
  EXPECT_TRUE(FaultStepList("").empty());
  EXPECT_TRUE(FaultStepList(" ,;; \t").empty());
  EXPECT_FALSE(FaultStepList(",,").Contains(""));
}

}  // namespace
