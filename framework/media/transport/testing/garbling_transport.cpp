#include "garbling_transport.h"

#include <vector>

namespace tessarine::media {

namespace {

// Keeps the first two bytes (the payload's NAL or fragment headers), so that the packet
// still reaches the decoder, and fills the rest with a pattern no encoder writes.
std::vector<uint8_t> Garble(const uint8_t* payload, size_t size) {
  std::vector<uint8_t> out(payload, payload + size);
  for (size_t i = 2; i < out.size(); ++i) out[i] = static_cast<uint8_t>(0xA5 ^ (i * 37));
  return out;
}

}  // namespace

GarblingTransport::GarblingTransport(std::shared_ptr<IMediaTransport> inner, std::function<bool()> armed)
    : inner_(std::move(inner)), armed_(std::move(armed)) {}

SubscriptionId GarblingTransport::Subscribe(const SourceKey& source, std::function<void(const RtpPacketIn&)> receiver) {
  return inner_->Subscribe(source,
                           [receiver = std::move(receiver), garbled = garbled_, armed = armed_](const RtpPacketIn& p) {
                             if (p.payload_size <= 2 || garbled->load() || !armed() || garbled->exchange(true))
                               return receiver(p);
                             const std::vector<uint8_t> bad = Garble(p.payload, p.payload_size);
                             RtpPacketIn copy = p;
                             copy.payload = bad.data();
                             receiver(copy);
                           });
}

}  // namespace tessarine::media
