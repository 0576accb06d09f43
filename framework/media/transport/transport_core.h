// The media transport's logic, free of sockets and threads: IMediaTransport on two hooks
// (send a datagram to the relay, send a business message on the control connection) and
// a clock. The socket layer feeds it the relay's datagrams (OnDatagram), the MEDIA
// business messages (OnControl) and a periodic Tick for registration, keep-alive and
// receiver reports. Thread-safe; callbacks run on the thread calling OnDatagram. No hook
// runs under the transport's mutex; an RTP packet is built into its source's buffer and
// sent under that source's gate only, so a source's packets leave in sequence order.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "media_transport.h"
#include "protocol/media/media_messages.h"
#include "protocol/media/media_ticket.h"
#include "reception_meter.h"

namespace tessarine::media {

struct TransportHooks {
  std::function<void(const uint8_t*, size_t)> send_datagram;
  std::function<void(const rapidjson::Value&)> send_control;
  std::function<uint64_t()> clock_us;  // monotonic
};

class TransportCore final : public IMediaTransport {
 public:
  static constexpr uint64_t kRegisterRetryUs = 250000;
  static constexpr uint64_t kKeepAliveUs = 2000000;
  static constexpr uint64_t kReportIntervalUs = 1000000;

  // local_ssrc: the SSRC of this transport's own RTCP (receiver reports, PLIs).
  TransportCore(TransportHooks hooks, uint32_t local_ssrc);
  ~TransportCore() override;

  // From the socket layer.
  void OnControl(int id, const rapidjson::Value& body);
  void OnDatagram(const uint8_t* data, size_t size);
  void Tick();
  // The relay's port from the last ticket (0 before one came).
  [[nodiscard]] uint16_t relay_port() const;

  // IMediaTransport
  bool Publish(int media_type, const std::string& media_id, uint32_t ssrc, SourceFeedback feedback) override;
  void Unpublish(int media_type, const std::string& media_id) override;
  bool SendRtp(uint32_t ssrc, uint8_t payload_type, bool marker, uint32_t timestamp, const uint8_t* payload,
               size_t size) override;
  SubscriptionId Subscribe(const SourceKey& source, std::function<void(const RtpPacketIn&)> receiver) override;
  void Unsubscribe(SubscriptionId id) override;
  void RequestKeyframe(SubscriptionId id) override;
  ReceptionStats Stats(SubscriptionId id) const override;
  bool Registered() const override;
  TransportCounters Counters() const override;

 private:
  struct FeedbackGate {
    SourceFeedback feedback;
    std::mutex gate;
    bool alive = true;
  };
  // A source's sending state; SendRtp holds its gate while it stamps, builds and sends a
  // packet, and Unpublish closes it, so that no packet of the source leaves afterwards.
  struct SendGate {
    std::mutex gate;
    bool alive = true;
    uint16_t next_sequence = 0;
    std::vector<uint8_t> packet;  // reused for every packet of the source
  };
  struct Publication {
    int media_type = 0;
    std::string media_id;
    uint32_t ssrc = 0;
    std::shared_ptr<SendGate> sender;
    std::shared_ptr<FeedbackGate> feedback;
  };
  // Callbacks of a subscription run under its gate, so that Unsubscribe can wait for them.
  struct Subscription {
    SourceKey key;
    uint32_t ssrc = 0;
    ReceptionMeter meter;
    std::function<void(const RtpPacketIn&)> receiver;
    std::mutex gate;
    bool alive = true;
    explicit Subscription(uint32_t rate) : meter(rate) {}
  };

  using ControlBatch = std::vector<rapidjson::Document>;
  using DatagramBatch = std::vector<std::vector<uint8_t>>;
  // The *Locked steps run under mutex_ and queue datagrams; Send sends them without it.
  void QueueRegistrationLocked(uint64_t now, DatagramBatch& out);
  void QueueReportsLocked(uint64_t now, DatagramBatch& out);
  void Send(const DatagramBatch& datagrams);
  void Flush(ControlBatch& batch);
  static rapidjson::Document PublishMessage(const Publication& p);
  static rapidjson::Document SourceMessage(const SourceKey& key, int id);
  void DispatchRtp(const uint8_t* data, size_t size);
  void DispatchRtcp(const uint8_t* data, size_t size);
  bool HasSubscription(const SourceKey& key) const;

  TransportHooks hooks_;
  const uint32_t local_ssrc_;
  mutable std::mutex mutex_;
  bool have_ticket_ = false;
  kiv_media::Ticket ticket_{};
  uint16_t relay_port_ = 0;
  bool registered_ = false;
  uint64_t last_register_us_ = 0;
  uint64_t last_report_us_ = 0;
  std::map<std::pair<int, std::string>, Publication> publications_;
  std::map<SubscriptionId, std::shared_ptr<Subscription>> subscriptions_;
  SubscriptionId next_subscription_ = 1;
  TransportCounters counters_;             // all but sent_packets
  std::atomic<uint64_t> sent_packets_{0};  // counted after the send, outside mutex_
};

// Clock rate of a media type's RTP timestamps.
uint32_t RtpClockRate(int media_type);

}  // namespace tessarine::media
