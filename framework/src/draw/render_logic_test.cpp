#include <gtest/gtest.h>

#include <vector>

#include "directory_list.h"
#include "frame_convert.h"
#include "i420_image.h"
#include "render_geometry.h"
#include "render_stats_meter.h"

namespace {

using tessarine::FrameLayout;
using tessarine::PixelRect;
using tessarine::PlaceFrame;

// Mode 1 stretches the whole frame over the whole window.
TEST(RenderGeometryTest, ScaleFillUsesEverything) {
  auto p = PlaceFrame(1, 640, 480, 300, 300);
  EXPECT_EQ(p.source, (PixelRect{0, 0, 640, 480}));
  EXPECT_EQ(p.target, (PixelRect{0, 0, 300, 300}));
}

// Mode 2 fills the window and cuts the frame's overhang equally from both sides.
TEST(RenderGeometryTest, AspectCropCutsTheOverhang) {
  auto wide = PlaceFrame(2, 640, 480, 300, 300);
  EXPECT_EQ(wide.source, (PixelRect{80, 0, 480, 480}));
  EXPECT_EQ(wide.target, (PixelRect{0, 0, 300, 300}));
  auto tall = PlaceFrame(2, 480, 640, 400, 200);
  EXPECT_EQ(tall.source, (PixelRect{0, 200, 480, 240}));
}

// Mode 3 (and any unknown mode) fits the whole frame, centred, with bars.
TEST(RenderGeometryTest, AspectFitCentresTheFrame) {
  auto bars_above = PlaceFrame(3, 640, 480, 300, 300);
  EXPECT_EQ(bars_above.source, (PixelRect{0, 0, 640, 480}));
  EXPECT_EQ(bars_above.target, (PixelRect{0, 37, 300, 225}));
  auto bars_beside = PlaceFrame(7, 640, 480, 400, 150);
  EXPECT_EQ(bars_beside.target, (PixelRect{100, 0, 200, 150}));
  EXPECT_EQ(PlaceFrame(3, 0, 480, 10, 10).target.width, 0);
}

// FourCCs, frame sizes with strides, and refusal of impossible sizes.
TEST(FrameConvertTest, LayoutsAndSizes) {
  FrameLayout layout;
  EXPECT_TRUE(tessarine::LayoutOfFourcc(0x30323449, &layout));
  EXPECT_EQ(layout, FrameLayout::kI420);
  EXPECT_TRUE(tessarine::LayoutOfFourcc(0x3132564E, &layout));
  EXPECT_EQ(layout, FrameLayout::kNV21);
  EXPECT_FALSE(tessarine::LayoutOfFourcc(0x32595559, &layout));  // YUY2
  EXPECT_EQ(tessarine::FrameBytes(FrameLayout::kI420, 640, 480, 640), 460800u);
  EXPECT_EQ(tessarine::FrameBytes(FrameLayout::kNV12, 5, 3, 6), 6u * 3 + 2 * 3 * 2);
  EXPECT_EQ(tessarine::FrameBytes(FrameLayout::kI420, 640, 480, 600), 0u);
  EXPECT_EQ(tessarine::FrameBytes(FrameLayout::kI420, 0, 480, 640), 0u);
  EXPECT_EQ(tessarine::FrameBytes(FrameLayout::kI420, 100000, 100000, 100000), 0u);
}

// Colours survive the round trip through YUV in every layout (within rounding).
TEST(FrameConvertTest, ConvertsEachLayoutToBgra) {
  const int r = 200, g = 40, b = 90;
  const tessarine::Yuv c = tessarine::RgbToYuv(r, g, b);
  const int w = 4, h = 2;
  for (FrameLayout layout : {FrameLayout::kI420, FrameLayout::kYV12, FrameLayout::kNV12, FrameLayout::kNV21}) {
    std::vector<uint8_t> frame(tessarine::FrameBytes(layout, w, h, w));
    std::fill(frame.begin(), frame.begin() + w * h, c.y);
    uint8_t* chroma = frame.data() + w * h;
    if (layout == FrameLayout::kI420) {
      chroma[0] = chroma[1] = c.u;
      chroma[2] = chroma[3] = c.v;
    }
    if (layout == FrameLayout::kYV12) {
      chroma[0] = chroma[1] = c.v;
      chroma[2] = chroma[3] = c.u;
    }
    if (layout == FrameLayout::kNV12) {
      chroma[0] = chroma[2] = c.u;
      chroma[1] = chroma[3] = c.v;
    }
    if (layout == FrameLayout::kNV21) {
      chroma[0] = chroma[2] = c.v;
      chroma[1] = chroma[3] = c.u;
    }
    std::vector<uint32_t> out(w * h);
    tessarine::ConvertToBgra(layout, frame.data(), w, h, w, out.data());
    for (uint32_t px : out) {
      EXPECT_NEAR(static_cast<int>(px >> 16 & 0xFF), r, 3);
      EXPECT_NEAR(static_cast<int>(px >> 8 & 0xFF), g, 3);
      EXPECT_NEAR(static_cast<int>(px & 0xFF), b, 3);
      EXPECT_EQ(px >> 24, 0xFFu);
    }
  }
}

// Frame rate and bit rate count the last second only; the size is the last frame's.
TEST(RenderStatsMeterTest, CountsTheLastSecond) {
  tessarine::RenderStatsMeter meter;
  EXPECT_EQ(meter.Read(0).frame_rate, 0);
  for (int i = 0; i < 15; ++i) meter.OnFrame(1000 + i * 66, 640, 480, 1000);
  auto f = meter.Read(1990);
  EXPECT_EQ(f.frame_rate, 15);
  EXPECT_EQ(f.bitrate, 15 * 8000);
  EXPECT_EQ(f.width, 640);
  EXPECT_EQ(f.height, 480);
  EXPECT_EQ(meter.Read(2500).frame_rate, 7);  // frames after 1500 ms
  EXPECT_EQ(meter.Read(5000).frame_rate, 0);
  EXPECT_EQ(meter.Read(5000).width, 640);
}

// Init's directory list: blanks and empty entries go, each keeps or gains a separator.
TEST(DirectoryListTest, SplitsTheList) {
  auto dirs = tessarine::SplitDirectoryList(L"C:\\app\\; ;D:\\lib ;;E:/x/");
  ASSERT_EQ(dirs.size(), 3u);
  EXPECT_EQ(dirs[0], L"C:\\app\\");
  EXPECT_EQ(dirs[1], L"D:\\lib\\");
  EXPECT_EQ(dirs[2], L"E:/x/");
  EXPECT_TRUE(tessarine::SplitDirectoryList(L"").empty());
}

}  // namespace
