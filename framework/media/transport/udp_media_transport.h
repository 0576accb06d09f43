// The media transport of a connection on a Winsock UDP socket: TransportCore's datagrams
// go to the relay at the login's server host and the ticket's port; one thread receives
// and ticks (registration retries, keep-alive, receiver reports).
#pragma once

#include <winsock2.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "connection_core.h"
#include "forwarding_transport.h"
#include "transport_core.h"

namespace tessarine::media {

class UdpMediaTransport final : public ForwardingTransport {
 public:
  // Null when no socket can be opened.
  static std::shared_ptr<UdpMediaTransport> Create(std::shared_ptr<ConnectionCore> connection);
  ~UdpMediaTransport() override;

 private:
  IMediaTransport& inner() const override { return *core_; }
  UdpMediaTransport(std::shared_ptr<ConnectionCore> connection, SOCKET socket);
  void SendDatagram(const uint8_t* data, size_t size);
  void OnControl(int id, const rapidjson::Value& body);
  void SetRelay(uint16_t port);
  void Run();

  std::shared_ptr<ConnectionCore> connection_;
  SOCKET socket_;
  std::mutex peer_mutex_;
  bool have_peer_ = false;
  sockaddr_storage peer_{};
  int peer_length_ = 0;
  std::unique_ptr<TransportCore> core_;
  std::atomic<bool> stop_{false};
  std::thread thread_;  // last: starts once the rest is ready
};

}  // namespace tessarine::media
