// A screen-share viewer that starts while the sharer is already streaming: whatever
// packet of the stream it receives first, it waits for (and asks for) a whole keyframe
// and never hands the decoder a picture it cannot decode; a garbled packet still counts.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "i420_image.h"
#include "test_pattern.h"
#include "video_receiver.h"
#include "video_sender.h"

namespace tessarine::media {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kRate = 15;

struct SentPacket {
  uint8_t payload_type;
  bool marker;
  uint32_t timestamp;
  std::vector<uint8_t> payload;
};

// Publishing records what the sender sends; subscribing hands the receiver what the
// test replays. Feedback is counted, not delivered.
class ReplayTransport final : public IMediaTransport {
 public:
  bool Publish(int, const std::string&, uint32_t, SourceFeedback feedback) override {
    feedback_ = std::move(feedback);
    return true;
  }
  void Unpublish(int, const std::string&) override {}
  bool SendRtp(uint32_t, uint8_t payload_type, bool marker, uint32_t timestamp, const uint8_t* payload,
               size_t size) override {
    sent_.push_back({payload_type, marker, timestamp, std::vector<uint8_t>(payload, payload + size)});
    return true;
  }
  SubscriptionId Subscribe(const SourceKey&, std::function<void(const RtpPacketIn&)> receiver) override {
    receiver_ = std::move(receiver);
    return 1;
  }
  void Unsubscribe(SubscriptionId) override { receiver_ = nullptr; }
  void RequestKeyframe(SubscriptionId) override { ++keyframe_requests_; }
  ReceptionStats Stats(SubscriptionId) const override { return {}; }
  bool Registered() const override { return true; }
  TransportCounters Counters() const override { return {}; }

  // The sender's keyframe request, as a viewer's picture loss indication brings it.
  void AskSenderForKeyframe() { feedback_.on_keyframe_request(); }

  // Hands the receiver the recorded packets [first, end) as one publication.
  void Replay(const std::vector<SentPacket>& packets, size_t first, size_t end, bool garble_one = false) {
    for (size_t i = first; i < end && receiver_; ++i) {
      std::vector<uint8_t> payload = packets[i].payload;
      if (garble_one && i == end - 1) {
        for (size_t b = 2; b < payload.size(); ++b) payload[b] = static_cast<uint8_t>(0xA5 ^ (b * 37));
      }
      RtpPacketIn in;
      in.payload_type = packets[i].payload_type;
      in.marker = packets[i].marker;
      in.sequence = static_cast<uint16_t>(1000 + i);
      in.timestamp = packets[i].timestamp;
      in.ssrc = 0x5C4EE7;
      in.payload = payload.data();
      in.payload_size = payload.size();
      in.arrival_us = (i + 1) * 1000;
      receiver_(in);
    }
  }

  std::vector<SentPacket> sent_;
  int keyframe_requests_ = 0;

 private:
  SourceFeedback feedback_;
  std::function<void(const RtpPacketIn&)> receiver_;
};

std::shared_ptr<IMediaTransport> Borrow(ReplayTransport& t) {
  return std::shared_ptr<IMediaTransport>(&t, [](IMediaTransport*) {});
}

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

}  // namespace
}  // namespace tessarine::media
