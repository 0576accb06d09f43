// The media relay on a UDP socket (asio, the server's io thread). With loss control on,
// datagrams "KML" percent(1) burst(2, big-endian) seed(4) from a loopback address set the
// relay's loss switch (tests only).
#pragma once

#include <asio.hpp>

#include <array>
#include <cstdint>

#include "server/media/media_relay.h"

namespace kiv_server {

struct UdpMediaServerOptions {
  bool loss_control = false;
};

class UdpMediaServer : public IDatagramOut {
 public:
  UdpMediaServer(asio::io_context& io, const asio::ip::udp::endpoint& endpoint, UdpMediaServerOptions options);

  MediaRelay& relay() { return relay_; }
  uint16_t port() const { return port_; }
  void Start();
  void Stop();

  void SendTo(const PeerAddress& to, const uint8_t* data, size_t size) override;

 private:
  void Receive();
  bool OnLossControl(const uint8_t* data, size_t size);

  asio::ip::udp::socket socket_;
  uint16_t port_ = 0;
  UdpMediaServerOptions options_;
  MediaRelay relay_;
  asio::ip::udp::endpoint from_;
  std::array<uint8_t, 2048> buffer_{};
};

PeerAddress ToPeer(const asio::ip::udp::endpoint& endpoint);
asio::ip::udp::endpoint ToEndpoint(const PeerAddress& peer);

}  // namespace kiv_server
