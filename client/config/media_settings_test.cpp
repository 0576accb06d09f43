#include "config/media_settings.h"

#include <gtest/gtest.h>

#include <climits>

using namespace media_settings;

// Verifies the statistics line, including the integer division of the bit rate.
TEST(MediaSettingsTest, StatisticsLine) {
  EXPECT_EQ(VideoStatsLine(1536000, 15, 640, 480), "1500K 15F 640*480");
  EXPECT_EQ(VideoStatsLine(1023, 0, 0, 0), "0K 0F 0*0");
  // Extreme values still fit the 31-character line.
  EXPECT_LE(VideoStatsLine(INT_MAX, INT_MIN, INT_MIN, INT_MIN).size(), 31u);
}

// Verifies the recording file name and the refusal of a desktop folder too long for the
// 512-byte path buffer.
TEST(MediaSettingsTest, RecordFilePath) {
  std::tm t{};
  t.tm_year = 2024 - 1900;
  t.tm_mon = 0;
  t.tm_mday = 31;
  t.tm_hour = 23;
  t.tm_min = 59;
  t.tm_sec = 59;
  EXPECT_EQ(RecordFilePath("C:\\users\\root\\Desktop", t).value(),
            "C:\\users\\root\\Desktop\\Record20240131235959.mp4");
  const std::string fits(511 - 25, 'a');
  EXPECT_TRUE(RecordFilePath(fits, t).has_value());
  EXPECT_FALSE(RecordFilePath(fits + "a", t).has_value());
}

// Verifies the resolution rows and that indexes outside the table fall back to row 0.
TEST(MediaSettingsTest, ResolutionTable) {
  EXPECT_EQ(ResolutionAt(2).width, 640);
  EXPECT_EQ(ResolutionAt(4).height, 1080);
  EXPECT_EQ(ResolutionAt(5).width, 320);
  EXPECT_EQ(ResolutionAt(-1).height, 240);
}

// Verifies camera item names: the number after the prefix, and names that hold none.
TEST(MediaSettingsTest, IndexAfterPrefix) {
  EXPECT_EQ(IndexAfterPrefix(L"cam_0", L"cam_").value(), 0);
  EXPECT_EQ(IndexAfterPrefix(L"menu_cam_12", L"menu_cam_").value(), 12);
  EXPECT_FALSE(IndexAfterPrefix(L"cam_", L"cam_").has_value());
  EXPECT_FALSE(IndexAfterPrefix(L"cam_x", L"cam_").has_value());
  EXPECT_FALSE(IndexAfterPrefix(L"video_disp_sfpp", L"cam_").has_value());
  EXPECT_FALSE(IndexAfterPrefix(L"cam_99999999999", L"cam_").has_value());
}

// Verifies that entries are read like _wtoi: text gives 0, huge numbers are held.
TEST(MediaSettingsTest, ReadInt) {
  EXPECT_EQ(ReadInt(L"42"), 42);
  EXPECT_EQ(ReadInt(L"  -7px"), -7);
  EXPECT_EQ(ReadInt(L"abc"), 0);
  EXPECT_EQ(ReadInt(L""), 0);
  EXPECT_EQ(ReadInt(L"99999999999999999999"), INT_MAX);
  EXPECT_EQ(ReadInt(L"-99999999999999999999"), INT_MIN);
}
