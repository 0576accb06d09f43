#include "frame_stamp.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessarine::media {
namespace {

TEST(FrameStamp, ReadsBackWhatWasWrittenAtTheBottom) {
  const int w = 640, h = 480;
  std::vector<uint8_t> y(w * h, 100);
  const FrameStamp s{0x123456, 0xABCDEF012345};
  WriteStamp(y.data(), w, w, h, s);
  EXPECT_EQ(y[0], 100) << "the top rows stay the picture's";
  auto back = ReadStamp(y.data(), w, w, h);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->frame_number, s.frame_number);
  EXPECT_EQ(back->capture_us, s.capture_us);

  // Mild noise (as after compression) is tolerated; a flipped cell is not.
  for (size_t i = 0; i < y.size(); ++i) y[i] = static_cast<uint8_t>(y[i] + (i % 7) - 3);
  EXPECT_TRUE(ReadStamp(y.data(), w, w, h));
  const int row = h - StampRows(w) * kStampCell;
  for (int r = row; r < row + kStampCell; ++r) {
    for (int c = 8 * 20; c < 8 * 21; ++c) y[r * w + c] = static_cast<uint8_t>(255 - y[r * w + c]);
  }
  EXPECT_FALSE(ReadStamp(y.data(), w, w, h)) << "checksum";
}

TEST(FrameStamp, NarrowPicturesUseMoreRowsAndTinyOnesNone) {
  EXPECT_EQ(StampRows(640), 2);
  EXPECT_EQ(StampRows(160), 5);
  EXPECT_EQ(StampRows(90), 0);
  std::vector<uint8_t> y(160 * 120, 50);
  WriteStamp(y.data(), 160, 160, 120, {7, 99});
  ASSERT_TRUE(ReadStamp(y.data(), 160, 160, 120));
  EXPECT_EQ(ReadStamp(y.data(), 160, 160, 120)->frame_number, 7u);
  std::vector<uint8_t> blank(640 * 480, 0);
  EXPECT_FALSE(ReadStamp(blank.data(), 640, 640, 480));
  EXPECT_EQ(StampAgeUs(uint64_t{1} << 48 | 5, (uint64_t{1} << 48) - 5), 10u) << "wraps at 48 bits";
}

}  // namespace
}  // namespace tessarine::media
