#include "core/frames/video_codes.h"

#include <gtest/gtest.h>

TEST(VideoCodesTest, FormatCodesAndRenderModes) {
  EXPECT_EQ(kiv_core::VideoFormatCode(0x30323449), 1);
  EXPECT_EQ(kiv_core::VideoFormatCode(0x32315659), 2);
  EXPECT_EQ(kiv_core::VideoFormatCode(0x3231564E), 3);
  EXPECT_EQ(kiv_core::VideoFormatCode(0x3132564E), 4);
  EXPECT_EQ(kiv_core::VideoFormatCode(0x32595559), 0);
  EXPECT_EQ(kiv_core::ConvertRenderMode(0), 3);
  EXPECT_EQ(kiv_core::ConvertRenderMode(7), 3);
  for (int mode = 1; mode <= 3; ++mode) EXPECT_EQ(kiv_core::ConvertRenderMode(mode), mode);
}

// Per frame per second: 10000 at 320x240, 23980 at 640x480, 80000 at 1920x1080.
TEST(VideoCodesTest, Bitrates) {
  EXPECT_EQ(kiv_core::VideoBitrate(320, 240, 1), 10000);
  EXPECT_EQ(kiv_core::VideoBitrate(640, 480, 1), 23980);
  EXPECT_EQ(kiv_core::VideoBitrate(640, 480, 15), 23980 * 15);
  EXPECT_EQ(kiv_core::VideoBitrate(1920, 1080, 1), 80000);
  EXPECT_EQ(kiv_core::VideoBitrate(0, 480, 15), 0);
}
