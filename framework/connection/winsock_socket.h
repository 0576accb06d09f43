// kiv_proto::IStreamSocket on Winsock.
#pragma once

#include <winsock2.h>

#include <atomic>
#include <mutex>

#include "connection_factory.h"
#include "protocol/net/stream_socket.h"

namespace tessarine {

class WinsockSocket : public kiv_proto::IStreamSocket {
 public:
  WinsockSocket();
  ~WinsockSocket() override;
  WinsockSocket(const WinsockSocket&) = delete;
  WinsockSocket& operator=(const WinsockSocket&) = delete;

  bool Connect(const std::string& host, uint16_t port, int timeout_ms) override;
  bool SendAll(const void* data, size_t len) override;
  int Recv(void* buf, size_t cap, int timeout_ms) override;
  void Shutdown() override;

 private:
  std::mutex mutex_;  // guards socket_ against Shutdown during Connect
  SOCKET socket_ = INVALID_SOCKET;
  std::atomic<bool> shut_{false};
};

// Owns one Winsock start-up (WSAStartup) for the sockets it makes.
class WinsockSocketFactory : public kiv_proto::ISocketFactory {
 public:
  WinsockSocketFactory();
  ~WinsockSocketFactory() override;
  WinsockSocketFactory(const WinsockSocketFactory&) = delete;
  WinsockSocketFactory& operator=(const WinsockSocketFactory&) = delete;

  bool started() const { return started_; }
  std::unique_ptr<kiv_proto::IStreamSocket> Create() override;

 private:
  bool started_ = false;
};

}  // namespace tessarine
