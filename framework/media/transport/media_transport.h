// The client's media transport: one UDP socket per control connection, registered at the
// meeting server's media relay with the ticket the control plane issued at login. Media of
// every kind (video, voice, screen) travels on it as RTP; feedback as RTCP.
//
// Contract
// - Get one with MediaTransportFor(connection); every caller on one connection shares it.
//   It registers at the relay on its own (and again after a reconnection); packets sent
//   before registration completes are dropped, not queued.
// - Publishing: Publish(type, id, ssrc, feedback) announces a source keyed by
//   (media type, media id) on the control connection; the relay forwards its RTP only to
//   members of the publisher's group that subscribed to (user, type, id). The SSRC is the
//   caller's (random, non-zero); Publish fails when it is 0 or already in use by another
//   source of this transport. SendRtp stamps the RTP header (sequence numbers per SSRC
//   are the transport's); payload at most kMaxRtpPayload bytes. Unpublish stops
//   forwarding; after it returns no feedback callback of that source runs.
// - Subscribing: Subscribe((user, type, id), receiver) asks the relay for that source;
//   the receiver gets each RTP packet of it, whenever the source is published (before
//   or after the subscription). Unsubscribe returns once no callback of that
//   subscription runs or will run.
// - Feedback: RequestKeyframe sends an RTCP picture loss indication to the publisher
//   (forwarded by the relay); the publisher's SourceFeedback::on_keyframe_request runs.
//   The transport sends a receiver report for every subscription about once a second;
//   the publisher's on_receiver_report gets the report blocks about its SSRC.
// - Threads: callbacks run on the transport's receive thread, one at a time; they must
//   not block, and must not call Unsubscribe/Unpublish of their own source (deadlock).
//   All other calls are thread-safe.
// - Malformed, truncated or oversized datagrams and RTP of unknown SSRCs are dropped and
//   counted (Counters()).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "protocol/wire/media_type.h"

namespace avcore {
class IKivConnection;
}

namespace tessarine::media {

// Media types of the meeting.
using kiv_proto::kMediaAudio;
using kiv_proto::kMediaScreen;
using kiv_proto::kMediaVideo;

// Largest RTP payload a sender may hand over (the packetizers' MTU budget).
constexpr size_t kMaxRtpPayload = 1200;

struct SourceKey {
  std::string user_id;
  int media_type = 0;
  std::string media_id;
};

// One received RTP packet; the payload is valid during the callback only.
struct RtpPacketIn {
  uint8_t payload_type = 0;
  bool marker = false;
  uint16_t sequence = 0;
  uint32_t timestamp = 0;
  uint32_t ssrc = 0;
  const uint8_t* payload = nullptr;
  size_t payload_size = 0;
  uint64_t arrival_us = 0;  // transport's monotonic clock
};

// One RTCP report block about a published source, as a receiver reported it.
struct ReceptionReport {
  uint32_t reporter_ssrc = 0;
  uint8_t fraction_lost = 0;  // of 256, since the previous report
  int32_t cumulative_lost = 0;
  uint32_t highest_sequence = 0;
  uint32_t jitter = 0;  // RTP timestamp units
};

struct SourceFeedback {
  std::function<void()> on_keyframe_request;
  std::function<void(const ReceptionReport&)> on_receiver_report;
};

// What a subscriber measured (since Subscribe).
struct ReceptionStats {
  uint64_t packets = 0;
  uint64_t bytes = 0;   // RTP payload bytes
  uint64_t lost = 0;    // by sequence gaps
  uint32_t jitter = 0;  // RTP timestamp units (RFC 3550 estimator)
  uint32_t ssrc = 0;    // the source's current SSRC, 0 while unpublished
};

struct TransportCounters {
  uint64_t sent_packets = 0;
  uint64_t received_packets = 0;
  uint64_t dropped_malformed = 0;
  uint64_t dropped_unknown_ssrc = 0;
  uint64_t dropped_unregistered = 0;  // sends before the relay accepted the ticket
};

using SubscriptionId = uint64_t;  // 0 = none

class IMediaTransport {
 public:
  virtual ~IMediaTransport() = default;

  // Publishing.
  [[nodiscard]] virtual bool Publish(int media_type, const std::string& media_id, uint32_t ssrc,
                                     SourceFeedback feedback) = 0;
  virtual void Unpublish(int media_type, const std::string& media_id) = 0;
  [[nodiscard]] virtual bool SendRtp(uint32_t ssrc, uint8_t payload_type, bool marker, uint32_t timestamp,
                                     const uint8_t* payload, size_t size) = 0;

  // Subscribing.
  [[nodiscard]] virtual SubscriptionId Subscribe(const SourceKey& source,
                                                 std::function<void(const RtpPacketIn&)> receiver) = 0;
  virtual void Unsubscribe(SubscriptionId id) = 0;
  virtual void RequestKeyframe(SubscriptionId id) = 0;
  [[nodiscard]] virtual ReceptionStats Stats(SubscriptionId id) const = 0;

  // True once the relay accepted the ticket.
  [[nodiscard]] virtual bool Registered() const = 0;
  [[nodiscard]] virtual TransportCounters Counters() const = 0;
};

// The transport of a connection created by this framework (null for a foreign object or
// when the connection has no session). Shared: it lives while a holder keeps it.
std::shared_ptr<IMediaTransport> MediaTransportFor(avcore::IKivConnection* connection);

}  // namespace tessarine::media
