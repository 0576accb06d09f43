// A media transport that passes everything through to another one, except that its
// subscribers get one received packet with its payload garbled: the first one that
// arrives while `armed` answers true, once for the whole transport. The stand-in's fault
// switch uses it to hand a receiver corrupted stream data.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "media_transport.h"

namespace tessarine::media {

class GarblingTransport final : public IMediaTransport {
 public:
  GarblingTransport(std::shared_ptr<IMediaTransport> inner, std::function<bool()> armed);

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

  // True once the garbled packet went out.
  [[nodiscard]] bool garbled() const { return garbled_->load(); }

 private:
  const std::shared_ptr<IMediaTransport> inner_;
  const std::function<bool()> armed_;
  // Shared with the subscription callbacks, which may outlive a moved-from transport.
  std::shared_ptr<std::atomic<bool>> garbled_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace tessarine::media
