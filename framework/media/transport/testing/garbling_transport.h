// A media transport that passes everything through to another one, except that its
// subscribers get one received packet with its payload garbled: the first one that
// arrives while `armed` answers true, once for the whole transport. The stand-in's fault
// switch uses it to hand a receiver corrupted stream data.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "forwarding_transport.h"

namespace tessarine::media {

class GarblingTransport final : public ForwardingTransport {
 public:
  GarblingTransport(std::shared_ptr<IMediaTransport> inner, std::function<bool()> armed);

  SubscriptionId Subscribe(const SourceKey& source, std::function<void(const RtpPacketIn&)> receiver) override;

  // True once the garbled packet went out.
  [[nodiscard]] bool garbled() const { return garbled_->load(); }

 private:
  IMediaTransport& inner() const override { return *inner_; }

  const std::shared_ptr<IMediaTransport> inner_;
  const std::function<bool()> armed_;
  // Shared with the subscription callbacks, which may outlive a moved-from transport.
  std::shared_ptr<std::atomic<bool>> garbled_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace tessarine::media
