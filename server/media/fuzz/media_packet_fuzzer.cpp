// libFuzzer target: one datagram into the relay (from a registered publisher, a
// subscriber and a stranger), into a receiving client's transport, and as an RTP
// payload into the H.264 depacketizer. Nothing may crash, leak or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/media/transport/transport_core.h"
#include "protocol/media/h264_packetizer.h"
#include "protocol/media/media_messages.h"
#include "protocol/media/rtp_packet.h"
#include "server/media/media_relay.h"

namespace {

class NullOut : public kiv_server::IDatagramOut {
 public:
  void SendTo(const kiv_server::PeerAddress&, const uint8_t*, size_t) override {}
};

const kiv_server::PeerAddress kPublisher = kiv_server::Ipv4Peer(0x7F000001, 1000);
const kiv_server::PeerAddress kSubscriber = kiv_server::Ipv4Peer(0x7F000001, 1001);
const kiv_server::PeerAddress kStranger = kiv_server::Ipv4Peer(0x7F000001, 1002);

struct Setup {
  NullOut out;
  kiv_server::MediaRelay relay{out, [] { return uint64_t{1}; },
                               [] {
                                 static uint8_t n = 0;
                                 kiv_media::Ticket t{};
                                 t[0] = ++n;
                                 return t;
                               }};
  tessarine::media::TransportCore client{
      {[](const uint8_t*, size_t) {}, [](const rapidjson::Value&) {}, [] { return uint64_t{5}; }}, 7};

  Setup() {
    for (auto [id, user, address] : {std::tuple{1, "alice", kPublisher}, std::tuple{2, "bob", kSubscriber}}) {
      const kiv_media::Ticket t = relay.AddLogin(id, user);
      const auto d = kiv_media::WriteRegistration({kiv_media::RegistrationKind::kRegister, t});
      relay.OnDatagram(address, d.data(), d.size());
    }
    std::vector<kiv_server::SourceNotice> notices;
    (void)relay.Publish(1, "g", 2, "1", 0x01020304, &notices);
    (void)relay.Subscribe(2, {"g", "alice", 2, "1"});

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
  setup->relay.OnDatagram(kPublisher, data, size);
  setup->relay.OnDatagram(kSubscriber, data, size);
  setup->relay.OnDatagram(kStranger, data, size);
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
