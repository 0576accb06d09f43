// A media transport for viewer tests: publishing records what a sender sends, subscribing
// hands the receiver what the test replays. Feedback is counted, not delivered.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "media_transport.h"

namespace tessarine::media {

struct SentPacket {
  uint8_t payload_type;
  bool marker;
  uint32_t timestamp;
  std::vector<uint8_t> payload;
};

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

inline std::shared_ptr<IMediaTransport> Borrow(ReplayTransport& t) {
  return std::shared_ptr<IMediaTransport>(&t, [](IMediaTransport*) {});
}

}  // namespace tessarine::media
