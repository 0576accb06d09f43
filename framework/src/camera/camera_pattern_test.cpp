#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "camera_list.h"
#include "font5x7.h"
#include "i420_image.h"
#include "test_pattern.h"

namespace {

using tessarine::BuildCameraList;
using tessarine::DrawTestPattern;
using tessarine::I420Image;
using tessarine::ParseCameraCount;

// TESSARINE_CAMERAS: unset gives 2; 0-16 with blanks allowed; anything else is refused.
TEST(CameraListTest, ParsesTheCameraCount) {
  EXPECT_EQ(ParseCameraCount(nullptr), 2);
  EXPECT_EQ(ParseCameraCount("0"), 0);
  EXPECT_EQ(ParseCameraCount(" 3 "), 3);
  EXPECT_EQ(ParseCameraCount("16"), 16);
  for (const char* bad : {"", "17", "-1", "2x", "abc", "100", " "}) {
    EXPECT_FALSE(ParseCameraCount(bad).has_value()) << bad;
  }
}

// Synthetic cameras come first, numbered from 1, then one per RTSP plug-in labelled
// with its url.
TEST(CameraListTest, SyntheticCamerasThenPlugins) {
  std::vector<tessarine::VideoPluginEntry> plugins{{7, "rtsp://h/s", 2, nullptr}};
  auto cameras = BuildCameraList(2, plugins);
  ASSERT_EQ(cameras.size(), 3u);
  EXPECT_EQ(cameras[0].name, "Tessarine Camera 1");
  EXPECT_EQ(cameras[1].name, "Tessarine Camera 2");
  EXPECT_EQ(cameras[1].number, 2);
  EXPECT_EQ(cameras[2].name, "RTSP Camera 7");
  EXPECT_EQ(cameras[2].plugin_id, 7);
  EXPECT_EQ(cameras[2].source, "rtsp://h/s");
  EXPECT_TRUE(BuildCameraList(0, {}).empty());
}

// The glyphs: '1' has its stem in the middle column, an unknown character draws as '?'.
TEST(Font5x7Test, GlyphsOfAscii) {
  EXPECT_EQ(tessarine::Glyph5x7('1')[2], 0x7F);
  EXPECT_EQ(tessarine::Glyph5x7(' ')[0], 0);
  EXPECT_EQ(tessarine::Glyph5x7('\x01'), tessarine::Glyph5x7('?'));
  EXPECT_EQ(tessarine::Glyph5x7('\xE9'), tessarine::Glyph5x7('?'));
}

size_t DiffBytes(const I420Image& a, const I420Image& b) {
  size_t n = 0;
  for (size_t i = 0; i < a.data.size(); ++i) n += a.data[i] != b.data[i];
  return n;
}

// The pattern moves from frame to frame, differs between cameras, and carries its text
// as white pixels on a dark box in the top-left corner.
TEST(TestPatternTest, MovesDiffersAndCarriesText) {
  I420Image f0, f1, other;
  f0.Resize(640, 480);
  f1.Resize(640, 480);
  other.Resize(640, 480);
  const std::vector<std::string> lines{"Tessarine Camera 1", "synthetic", "12:00:00.000  #0"};
  DrawTestPattern(1, 0, lines, &f0);
  DrawTestPattern(1, 1, lines, &f1);
  DrawTestPattern(2, 0, lines, &other);
  EXPECT_GT(DiffBytes(f0, f1), 1000u);
  EXPECT_GT(DiffBytes(f0, other), 10000u);
  I420Image again;
  again.Resize(640, 480);
  DrawTestPattern(1, 1, lines, &again);
  EXPECT_EQ(DiffBytes(f1, again), 0u);  // a frame depends on its number only

  // Text box at (12, 12) with scale 3: dark background, white glyph pixels, grey chroma.
  const int scale = tessarine::TextScaleFor(480);
  ASSERT_EQ(scale, 3);
  EXPECT_EQ(f0.y()[13 * 640 + 13], 24);
  const int text_left = 4 * scale + 2 * scale, text_top = 4 * scale + 2 * scale;
  // 'T': top row across all five columns.
  EXPECT_EQ(f0.y()[text_top * 640 + text_left], 235);
  EXPECT_EQ(f0.y()[text_top * 640 + text_left + 4 * scale], 235);
  EXPECT_EQ(f0.u()[(text_top / 2) * 320 + text_left / 2], 128);
  // Below the box: the first bar of camera 1 is 75% white.
  EXPECT_EQ(f0.y()[200 * 640 + 5], tessarine::RgbToYuv(191, 191, 191).y);
}

// The moving box goes back and forth inside the picture.
TEST(TestPatternTest, MovingBoxStaysInside) {
  int32_t lowest = 1 << 30, highest = -1;
  for (uint32_t n = 0; n < 500; ++n) {
    const int32_t x = tessarine::MovingBoxX(n, 640);
    lowest = std::min(lowest, x);
    highest = std::max(highest, x);
    if (n > 0) {
      EXPECT_NE(x, tessarine::MovingBoxX(n - 1, 640)) << n;
    }
  }
  EXPECT_EQ(lowest, 0);
  EXPECT_EQ(highest, 640 - 80);
}

}  // namespace
