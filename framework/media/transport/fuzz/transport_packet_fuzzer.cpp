// libFuzzer target: one datagram into a receiving client's transport, and the same bytes
// as an RTP payload into the H.264 depacketizer. Nothing may crash, leak or read out of
// bounds.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/media/h264_packetizer.h"
#include "protocol/media/media_messages.h"
#include "protocol/media/rtp_packet.h"
#include "transport_core.h"

namespace {

struct Setup {
  tessarine::media::TransportCore client{
      {[](const uint8_t*, size_t) {}, [](const rapidjson::Value&) {}, [] { return uint64_t{5}; }}, 7};

  Setup() {
    kiv_media::Ticket t{};
    client.OnControl(kiv_media::kMediaTicket, kiv_media::EncodeTicket({kiv_media::TicketToHex(t), 4000}));
    const auto accepted = kiv_media::WriteRegistration({kiv_media::RegistrationKind::kAccepted, t});
    client.OnDatagram(accepted.data(), accepted.size());
    (void)client.Subscribe({"alice", 2, "1"}, [](const tessarine::media::RtpPacketIn&) {});
    client.OnControl(
        kiv_media::kMediaSource,
        kiv_media::EncodeSource(kiv_media::kMediaSource, {"alice", kiv_proto::kMediaVideo, "1", 0x01020304}));
    (void)client.Publish(2, "mine", 0x0A0B0C0D, {});
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Setup* setup = new Setup();
  static kiv_media::H264Depacketizer depacketizer;
  setup->client.OnDatagram(data, size);
  // The same bytes as the payload of an RTP packet of the subscribed source.
  std::vector<uint8_t> packet;
  const uint16_t sequence = size > 0 ? data[0] : 0;
  kiv_media::WriteRtp({size % 2 == 0, 96, sequence, static_cast<uint32_t>(size), 0x01020304}, data, size, packet);
  kiv_media::RtpView view;
  if (kiv_media::ParseRtp(packet.data(), packet.size(), &view)) {
    kiv_media::AccessUnit unit;
    (void)depacketizer.Push(view, &unit);
  }
  return 0;
}
