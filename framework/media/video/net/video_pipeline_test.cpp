// Camera pictures through the sender, the relay's logic and the receiver with the real
// codec: the pictures come out as the sender's, and keep coming under loss.
#include <gtest/gtest.h>

#include "frame_stamp.h"
#include "framework/media/transport/testing/test_network.h"
#include "i420_image.h"
#include "test_pattern.h"
#include "video_receiver.h"
#include "video_sender.h"

namespace tessarine::media {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kRate = 15;
constexpr uint64_t kPeriodUs = 1000000 / kRate;

std::shared_ptr<IMediaTransport> Borrow(TransportCore& core) {
  return std::shared_ptr<IMediaTransport>(&core, [](IMediaTransport*) {});
}

class VideoPipelineTest : public ::testing::Test {
 protected:
  VideoPipelineTest()
      : alice_(net_.AddClient(1, "alice", "room")),
        bob_(net_.AddClient(2, "bob", "room")),
        sender_(Borrow(alice_), kMediaVideo, "1", 0x5EED),
        receiver_(Borrow(bob_), {"alice", kMediaVideo, "1"}, [this](const DecodedPicture& p, size_t bytes, uint32_t) {
          EXPECT_EQ(p.width, kWidth);
          EXPECT_EQ(p.height, kHeight);
          EXPECT_GT(bytes, 0u);
          const auto stamp = ReadStamp(p.i420.data(), p.width, p.width, p.height);
          shown_.push_back(stamp ? static_cast<int64_t>(stamp->frame_number) : -1);
        }) {
    image_.Resize(kWidth, kHeight);
  }

  void SetUp() override {
    ASSERT_TRUE(sender_.Start());
    ASSERT_TRUE(receiver_.Start());
    net_.Pump();
  }

  // Captures, sends and delivers one frame period.
  void Frame() {
    DrawTestPattern(1, frame_, {"camera", "test", ""}, &image_);
    WriteStamp(image_.y(), kWidth, kWidth, kHeight, FrameStamp{frame_, frame_ * kPeriodUs});
    sender_.OnPicture(image_.data.data(), kWidth, kHeight, kRate, 400000, frame_ * kPeriodUs / 1000);
    net_.Advance(kPeriodUs);
    ++frame_;
  }

  // The longest run of frames sent while no picture was shown, from the shown numbers.
  int64_t LongestGap() const {
    int64_t gap = 0;
    for (size_t i = 1; i < shown_.size(); ++i) gap = std::max(gap, shown_[i] - shown_[i - 1]);
    return gap;
  }

  Network net_;
  TransportCore& alice_;
  TransportCore& bob_;
  VideoSender sender_;
  VideoReceiver receiver_;
  I420Image image_;
  uint32_t frame_ = 0;
  std::vector<int64_t> shown_;
};

TEST_F(VideoPipelineTest, EveryPictureArrivesInOrderAsTheSendersOwn) {
  for (int i = 0; i < 45; ++i) Frame();
  ASSERT_EQ(shown_.size(), 45u);
  for (size_t i = 0; i < shown_.size(); ++i) ASSERT_EQ(shown_[i], static_cast<int64_t>(i)) << "stamp read back";
  const VideoSenderStats s = sender_.Stats();
  EXPECT_EQ(s.frames, 45u);
  EXPECT_GE(s.keyframes, 1u);
  // Within the asked 400 kbit/s over three seconds (the plain pattern needs far less).
  EXPECT_GT(s.bytes, 0u);
  EXPECT_LT(s.bytes * 8, 3 * 400000u * 3 / 2);
  EXPECT_EQ(receiver_.Stats().decode_errors, 0u);
}

TEST_F(VideoPipelineTest, FivePercentLossKeepsThePictureMoving) {
  net_.relay().loss().SetRandomLoss(5, 1234);
  for (int i = 0; i < 150; ++i) Frame();
  EXPECT_GT(shown_.size(), 50u);
  EXPECT_LE(LongestGap(), kRate) << "never more than a second without a whole picture";
  EXPECT_GT(receiver_.Stats().keyframe_requests, 0u);
  EXPECT_GT(sender_.Stats().keyframe_requests, 0u);
  for (int64_t n : shown_) EXPECT_GE(n, 0) << "a shown picture with a broken stamp";
}

TEST_F(VideoPipelineTest, BurstOfThirtyPacketsRecoversWithinASecond) {
  for (int i = 0; i < 30; ++i) Frame();
  const size_t before = shown_.size();
  net_.relay().loss().StartBurst(30);
  uint32_t burst_frame = frame_;  // the last frame that lost packets
  for (int i = 0; i < 60; ++i) {
    if (net_.relay().loss().active()) burst_frame = frame_;
    Frame();
  }
  ASSERT_FALSE(net_.relay().loss().active());
  ASSERT_GT(shown_.size(), before);
  int64_t first_after = -1;
  for (size_t i = before; i < shown_.size(); ++i) {
    if (shown_[i] > static_cast<int64_t>(burst_frame)) {
      first_after = shown_[i];
      break;
    }
  }
  ASSERT_GE(first_after, 0);
  EXPECT_LE(first_after - static_cast<int64_t>(burst_frame), kRate) << "frames until a whole picture again";
}

}  // namespace
}  // namespace tessarine::media
