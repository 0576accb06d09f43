#include "server/media/udp_media_server.h"

#include <cstring>
#include <random>

#include "common/time/monotonic.h"

namespace kiv_server {
namespace {

kiv_media::Ticket RandomTicket() {
  static std::random_device device;
  kiv_media::Ticket t;
  for (size_t i = 0; i < t.size(); i += 4) {
    const uint32_t v = device();
    std::memcpy(t.data() + i, &v, 4);
  }
  return t;
}

constexpr size_t kLossControlSize = 10;

}  // namespace

PeerAddress ToPeer(const asio::ip::udp::endpoint& endpoint) {
  PeerAddress p;
  const asio::ip::address a = endpoint.address();
  if (a.is_v4()) {
    p = Ipv4Peer(a.to_v4().to_uint(), endpoint.port());
  } else {
    const auto bytes = a.to_v6().to_bytes();
    std::memcpy(p.ip.data(), bytes.data(), 16);
    p.family = 6;
    p.port = endpoint.port();
  }
  return p;
}

asio::ip::udp::endpoint ToEndpoint(const PeerAddress& p) {
  if (p.family == 4) {
    const uint32_t v = (static_cast<uint32_t>(p.ip[0]) << 24) | (static_cast<uint32_t>(p.ip[1]) << 16) |
                       (static_cast<uint32_t>(p.ip[2]) << 8) | p.ip[3];
    return {asio::ip::address_v4(v), p.port};
  }
  asio::ip::address_v6::bytes_type bytes;
  std::memcpy(bytes.data(), p.ip.data(), 16);
  return {asio::ip::address_v6(bytes), p.port};
}

UdpMediaServer::UdpMediaServer(asio::io_context& io, const asio::ip::udp::endpoint& endpoint,
                               UdpMediaServerOptions options)
    : socket_(io, endpoint), options_(options), relay_(*this, kiv_common::MonotonicMs, RandomTicket) {
  port_ = socket_.local_endpoint().port();
  asio::socket_base::receive_buffer_size size(4 * 1024 * 1024);
  asio::error_code ignored;
  socket_.set_option(size, ignored);
  socket_.set_option(asio::socket_base::send_buffer_size(4 * 1024 * 1024), ignored);
}

void UdpMediaServer::Start() { Receive(); }

void UdpMediaServer::Stop() {
  asio::error_code ignored;
  socket_.close(ignored);
}

void UdpMediaServer::Receive() {
  socket_.async_receive_from(asio::buffer(buffer_), from_, [this](const asio::error_code& error, size_t n) {
    if (error == asio::error::operation_aborted || !socket_.is_open()) return;
    if (!error) {
      if (!(options_.loss_control && OnLossControl(buffer_.data(), n))) {
        relay_.OnDatagram(ToPeer(from_), buffer_.data(), n);
      }
    } else if (error == asio::error::message_size) {
      relay_.OnDatagram(ToPeer(from_), buffer_.data(), buffer_.size() + 1);  // counted as oversized
    }
    Receive();
  });
}

bool UdpMediaServer::OnLossControl(const uint8_t* data, size_t size) {
  if (size != kLossControlSize || std::memcmp(data, "KML", 3) != 0 || !from_.address().is_loopback()) {
    return false;
  }
  const uint32_t burst = (static_cast<uint32_t>(data[4]) << 8) | data[5];
  const uint32_t seed = (static_cast<uint32_t>(data[6]) << 24) | (static_cast<uint32_t>(data[7]) << 16) |
                        (static_cast<uint32_t>(data[8]) << 8) | data[9];
  relay_.loss().SetRandomLoss(data[3], seed);
  if (burst > 0) relay_.loss().StartBurst(burst);
  return true;
}

void UdpMediaServer::SendTo(const PeerAddress& to, const uint8_t* data, size_t size) {
  asio::error_code ignored;  // a full buffer or an unreachable peer loses the datagram, as UDP does
  socket_.send_to(asio::buffer(data, size), ToEndpoint(to), 0, ignored);
}

}  // namespace kiv_server
