#include "udp_media_transport.h"

#include <ws2tcpip.h>

#include <chrono>
#include <cstring>

#include "framework_log.h"
#include "kiv_connection.h"
#include "protocol/media/random_ssrc.h"

namespace tessarine::media {
namespace {

constexpr DWORD kReceiveSliceMs = 50;

uint64_t MonotonicUs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

}  // namespace

std::shared_ptr<UdpMediaTransport> UdpMediaTransport::Create(std::shared_ptr<ConnectionCore> connection) {
  SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) {
    FW_LOG("media transport: no UDP socket (%d)", WSAGetLastError());
    return nullptr;
  }
  sockaddr_in any{};
  any.sin_family = AF_INET;
  const DWORD timeout = kReceiveSliceMs;
  const int buffer = 1 << 20;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
  setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&buffer), sizeof(buffer));
  setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&buffer), sizeof(buffer));
  if (bind(s, reinterpret_cast<sockaddr*>(&any), sizeof(any)) != 0) {
    FW_LOG("media transport: bind failed (%d)", WSAGetLastError());
    closesocket(s);
    return nullptr;
  }
  std::shared_ptr<UdpMediaTransport> t(new (std::nothrow) UdpMediaTransport(std::move(connection), s));
  if (!t) closesocket(s);
  return t;
}

UdpMediaTransport::UdpMediaTransport(std::shared_ptr<ConnectionCore> connection, SOCKET socket)
    : connection_(std::move(connection)), socket_(socket) {
  TransportHooks hooks;
  hooks.send_datagram = [this](const uint8_t* d, size_t n) { SendDatagram(d, n); };
  hooks.send_control = [this](const rapidjson::Value& body) {
    const int rc = connection_->SendBusiness(body);
    if (rc != 0) FW_LOG("media transport: control message not sent (%d)", rc);
  };
  hooks.clock_us = MonotonicUs;
  core_ = std::make_unique<TransportCore>(hooks, kiv_media::RandomSsrc());
  thread_ = std::thread(&UdpMediaTransport::Run, this);
  connection_->SetMediaHandler([this](int id, const rapidjson::Value& body) { OnControl(id, body); });
}

UdpMediaTransport::~UdpMediaTransport() {
  connection_->SetMediaHandler(nullptr);
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  closesocket(socket_);
}

// The relay's address is set before the transport logic sees a ticket, so that its
// first registration datagram goes out at once.
void UdpMediaTransport::OnControl(int id, const rapidjson::Value& body) {
  kiv_media::TicketMessage ticket;
  if (id == kiv_media::kMediaTicket && kiv_media::DecodeTicket(body, &ticket)) SetRelay(ticket.port);
  core_->OnControl(id, body);
}

void UdpMediaTransport::SetRelay(uint16_t port) {
  const std::string host = connection_->ServerHost();
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || found == nullptr) {
    FW_LOG("media transport: relay %s:%u not resolved", host.c_str(), port);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(peer_mutex_);
    std::memcpy(&peer_, found->ai_addr, found->ai_addrlen);
    peer_length_ = static_cast<int>(found->ai_addrlen);
    have_peer_ = true;
  }
  freeaddrinfo(found);
  FW_LOG("media transport: relay at %s:%u", host.c_str(), port);
}

void UdpMediaTransport::SendDatagram(const uint8_t* data, size_t size) {
  sockaddr_storage peer;
  int length;
  {
    std::lock_guard<std::mutex> lock(peer_mutex_);
    if (!have_peer_) return;
    peer = peer_;
    length = peer_length_;
  }
  sendto(socket_, reinterpret_cast<const char*>(data), static_cast<int>(size), 0,
         reinterpret_cast<const sockaddr*>(&peer), length);
}

void UdpMediaTransport::Run() {
  std::vector<uint8_t> buffer(2048);
  while (!stop_) {
    sockaddr_storage from{};
    int from_length = sizeof(from);
    const int n = recvfrom(socket_, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()), 0,
                           reinterpret_cast<sockaddr*>(&from), &from_length);
    if (n > 0) {
      bool from_relay;
      {
        std::lock_guard<std::mutex> lock(peer_mutex_);
        const auto* a = reinterpret_cast<const sockaddr_in*>(&from);
        const auto* b = reinterpret_cast<const sockaddr_in*>(&peer_);
        from_relay = have_peer_ && a->sin_family == AF_INET && a->sin_port == b->sin_port &&
                     a->sin_addr.s_addr == b->sin_addr.s_addr;
      }
      if (from_relay) core_->OnDatagram(buffer.data(), static_cast<size_t>(n));
    } else if (n == SOCKET_ERROR && WSAGetLastError() == WSAEMSGSIZE) {
      core_->OnDatagram(buffer.data(), buffer.size() + 1);  // counted as oversized
    }
    core_->Tick();
  }
}

std::shared_ptr<IMediaTransport> MediaTransportFor(avcore::IKivConnection* connection) {
  auto* own = dynamic_cast<KivConnection*>(connection);
  if (own == nullptr) return nullptr;
  const std::shared_ptr<ConnectionCore>& core = own->core();
  std::lock_guard<std::mutex> lock(core->media_transport_mutex());
  if (auto existing = std::static_pointer_cast<IMediaTransport>(core->media_transport().lock())) return existing;
  std::shared_ptr<UdpMediaTransport> created = UdpMediaTransport::Create(core);
  if (created)
    core->media_transport() = std::static_pointer_cast<void>(std::static_pointer_cast<IMediaTransport>(created));
  return created;
}

}  // namespace tessarine::media
