#include "engine/devices/device_change_settler.h"

#include <gtest/gtest.h>

using kiv::DeviceChangeSettler;

// Changes less than the quiet period apart make one report, due a quiet period after the
// last change; nothing is reported before, nothing twice.
TEST(DeviceChangeSettler, BurstGivesOneReportAfterTheLastChange) {
  DeviceChangeSettler settler;
  EXPECT_EQ(settler.WaitMs(0), 1200u);
  EXPECT_FALSE(settler.TakeSettled(5000));
  settler.NoteChange(1000);
  settler.NoteChange(1900);
  settler.NoteChange(2800);
  EXPECT_EQ(settler.WaitMs(3000), 1000u);
  EXPECT_FALSE(settler.TakeSettled(3999));
  EXPECT_EQ(settler.WaitMs(4000), 0u);
  EXPECT_TRUE(settler.TakeSettled(4000));
  EXPECT_FALSE(settler.TakeSettled(4000));
  EXPECT_FALSE(settler.Pending());
  EXPECT_EQ(settler.WaitMs(4100), 1200u);
}

// The millisecond tick count wraps after 49.7 days; a burst across the wrap still settles.
TEST(DeviceChangeSettler, SettlesAcrossTheClockWrap) {
  DeviceChangeSettler settler;
  settler.NoteChange(0xFFFFFF00u);
  EXPECT_FALSE(settler.TakeSettled(0x00000100u));  // 512 ms later
  EXPECT_EQ(settler.WaitMs(0x00000100u), 1200u - 512u);
  EXPECT_TRUE(settler.TakeSettled(0xFFFFFF00u + 1200u));
}

// A wake that brings no change of its own (a registry change without a new class) makes a
// pending change wait a whole quiet period from the wake; with nothing pending it reports
// nothing.
TEST(DeviceChangeSettler, QuietPeriodRestartsOnAWakeWithoutChange) {
  DeviceChangeSettler settler;
  settler.RestartQuiet(500);
  EXPECT_FALSE(settler.Pending());
  EXPECT_FALSE(settler.TakeSettled(5000));
  settler.NoteChange(1000);
  settler.RestartQuiet(2000);
  EXPECT_EQ(settler.WaitMs(2100), 1100u);
  EXPECT_FALSE(settler.TakeSettled(2300));
  EXPECT_TRUE(settler.TakeSettled(3200));
}
