// libFuzzer target: one datagram into the relay, from a registered publisher, a subscriber
// and a stranger (a client's transport has its fuzzer beside it in the framework). Nothing
// may crash, leak or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <tuple>
#include <vector>

#include "protocol/media/media_messages.h"
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

  Setup() {
    for (auto [id, user, address] : {std::tuple{1, "alice", kPublisher}, std::tuple{2, "bob", kSubscriber}}) {
      const kiv_media::Ticket t = relay.AddLogin(id, user);
      const auto d = kiv_media::WriteRegistration({kiv_media::RegistrationKind::kRegister, t});
      relay.OnDatagram(address, d.data(), d.size());
    }
    std::vector<kiv_server::SourceNotice> notices;
    (void)relay.Publish(1, "g", 2, "1", 0x01020304, &notices);
    (void)relay.Subscribe(2, {"g", "alice", 2, "1"});
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Setup* setup = new Setup();
  setup->relay.OnDatagram(kPublisher, data, size);
  setup->relay.OnDatagram(kSubscriber, data, size);
  setup->relay.OnDatagram(kStranger, data, size);
  return 0;
}
