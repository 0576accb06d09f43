// A screen-share viewer that starts while the sharer is already streaming: whatever
// packet of the stream it receives first, it waits for (and asks for) a whole keyframe
// and never hands the decoder a picture it cannot decode; a garbled packet still counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <vector>

#include "i420_image.h"
#include "replay_transport.h"
#include "test_pattern.h"
#include "video_receiver.h"
#include "video_sender.h"

namespace tessarine::media {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kRate = 15;

// Where each access unit's packets begin in a recording, and which are keyframes.
struct Unit {
  size_t first;
  size_t end;
  bool keyframe;
};

class ScreenStreamJoinTest : public ::testing::Test {
 protected:
  // Three seconds of a changing screen in screen-content mode; a viewer's keyframe
  // request comes after one second.
  void SetUp() override {
    VideoSender sender(Borrow(recording_), kMediaScreen, "0", 0x5C4EE7, true);
    ASSERT_TRUE(sender.Start());
    I420Image screen;
    screen.Resize(kWidth, kHeight);
    for (uint32_t n = 0; n < 3 * kRate; ++n) {
      if (n == kRate) recording_.AskSenderForKeyframe();
      DrawTestPattern(1, n, {"shared screen", "frame " + std::to_string(n)}, &screen);
      const size_t before = recording_.sent_.size();
      const uint64_t before_keyframes = sender.Stats().keyframes;
      sender.OnPicture(screen.data.data(), kWidth, kHeight, kRate, 300000, 1000 + n * 1000 / kRate);
      if (recording_.sent_.size() > before) {
        units_.push_back({before, recording_.sent_.size(), sender.Stats().keyframes > before_keyframes});
      }
    }
    ASSERT_GE(std::count_if(units_.begin(), units_.end(), [](const Unit& u) { return u.keyframe; }), 2)
        << "the recording needs a keyframe after its start";
  }

  // The first keyframe after the first one.
  const Unit& LaterKeyframe() const {
    return *std::find_if(units_.begin() + 1, units_.end(), [](const Unit& u) { return u.keyframe; });
  }

  ReplayTransport recording_;
  std::vector<Unit> units_;
};

// A viewer joining at any packet from the frame before the later keyframe to the one
// after it (each parameter set, each fragment of the keyframe) sees no decoder error and
// shows pictures from that keyframe, or the next one it asks for.
TEST_F(ScreenStreamJoinTest, JoiningAtAnyPacketReportsNoBadData) {
  const Unit& key = LaterKeyframe();
  ASSERT_GE(key.end - key.first, 3u) << "parameter sets and the picture in separate packets";
  const size_t from = key.first >= 2 ? key.first - 2 : 0;
  const size_t to = std::min(recording_.sent_.size(), key.end + 2);
  for (size_t join = from; join < to; ++join) {
    ReplayTransport viewer_side;
    size_t pictures = 0;
    VideoReceiver receiver(Borrow(viewer_side), {"alice", kMediaScreen, "0"},
                           [&](const DecodedPicture&, size_t, uint32_t) { ++pictures; });
    ASSERT_TRUE(receiver.Start());
    viewer_side.Replay(recording_.sent_, join, recording_.sent_.size());
    const VideoReceiverStats stats = receiver.Stats();
    EXPECT_EQ(stats.decode_errors, 0u) << "joined at packet " << join << " (keyframe packets " << key.first << "-"
                                       << key.end << ")";
    if (join <= key.first) {
      EXPECT_GT(pictures, 0u) << "joined at packet " << join << ", before the keyframe";
    } else {
      EXPECT_GT(viewer_side.keyframe_requests_, 0) << "joined at packet " << join << " without asking for a keyframe";
    }
  }
}

// Real corruption is still seen: a garbled packet after the viewer showed pictures is a
// decoder error.
TEST_F(ScreenStreamJoinTest, GarbledPacketIsADecoderError) {
  const Unit& key = LaterKeyframe();
  ReplayTransport viewer_side;
  size_t pictures = 0;
  VideoReceiver receiver(Borrow(viewer_side), {"alice", kMediaScreen, "0"},
                         [&](const DecodedPicture&, size_t, uint32_t) { ++pictures; });
  ASSERT_TRUE(receiver.Start());
  viewer_side.Replay(recording_.sent_, 0, key.end);
  ASSERT_GT(pictures, 0u);
  ASSERT_EQ(receiver.Stats().decode_errors, 0u);
  // The next unit, a single-packet picture, arrives garbled.
  const auto next = std::find_if(units_.begin(), units_.end(), [&](const Unit& u) { return u.first == key.end; });
  ASSERT_NE(next, units_.end());
  ASSERT_EQ(next->end - next->first, 1u);
  viewer_side.Replay(recording_.sent_, next->first, next->end, true);
  EXPECT_GT(receiver.Stats().decode_errors, 0u);
}

// The sink runs with no lock of the receiver held: another thread reading the figures
// while a picture is in the sink is not held up by it.
TEST_F(ScreenStreamJoinTest, SinkRunsWithoutTheReceiversLock) {
  const Unit& key = LaterKeyframe();
  ReplayTransport viewer_side;
  VideoReceiver* self = nullptr;
  bool figures_read = false;
  std::future<uint64_t> read;  // outlives the sink's call, which it may wait for
  VideoReceiver receiver(Borrow(viewer_side), {"alice", kMediaScreen, "0"},
                         [&](const DecodedPicture&, size_t, uint32_t) {
                           if (read.valid()) return;
                           read = std::async(std::launch::async, [&] { return self->Stats().pictures; });
                           // Bounds a deadlock, times nothing: the read takes no time without one.
                           figures_read = read.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
                         });
  self = &receiver;
  ASSERT_TRUE(receiver.Start());
  viewer_side.Replay(recording_.sent_, key.first, recording_.sent_.size());
  ASSERT_TRUE(read.valid()) << "no picture";
  EXPECT_TRUE(figures_read) << "the figures waited for the sink";
  receiver.Stop();
}

}  // namespace
}  // namespace tessarine::media
