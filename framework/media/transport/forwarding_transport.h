// A media transport that hands every call to another one; a derived transport changes
// the calls it overrides.
#pragma once

#include <utility>

#include "media_transport.h"

namespace tessarine::media {

class ForwardingTransport : public IMediaTransport {
 public:
  bool Publish(int media_type, const std::string& media_id, uint32_t ssrc, SourceFeedback feedback) override {
    return inner().Publish(media_type, media_id, ssrc, std::move(feedback));
  }
  void Unpublish(int media_type, const std::string& media_id) override { inner().Unpublish(media_type, media_id); }
  bool SendRtp(uint32_t ssrc, uint8_t payload_type, bool marker, uint32_t timestamp, const uint8_t* payload,
               size_t size) override {
    return inner().SendRtp(ssrc, payload_type, marker, timestamp, payload, size);
  }
  SubscriptionId Subscribe(const SourceKey& source, std::function<void(const RtpPacketIn&)> receiver) override {
    return inner().Subscribe(source, std::move(receiver));
  }
  void Unsubscribe(SubscriptionId id) override { inner().Unsubscribe(id); }
  void RequestKeyframe(SubscriptionId id) override { inner().RequestKeyframe(id); }
  ReceptionStats Stats(SubscriptionId id) const override { return inner().Stats(id); }
  bool Registered() const override { return inner().Registered(); }
  TransportCounters Counters() const override { return inner().Counters(); }

 protected:
  // The transport the calls go to.
  [[nodiscard]] virtual IMediaTransport& inner() const = 0;
};

}  // namespace tessarine::media
