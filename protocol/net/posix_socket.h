// IStreamSocket on POSIX sockets (the native build).
#pragma once

#include <mutex>

#include "protocol/net/stream_socket.h"

namespace kiv_proto {

class PosixSocket : public IStreamSocket {
 public:
  PosixSocket() = default;
  ~PosixSocket() override;
  PosixSocket(const PosixSocket&) = delete;
  PosixSocket& operator=(const PosixSocket&) = delete;

  bool Connect(const std::string& host, uint16_t port, int timeout_ms) override;
  bool SendAll(const void* data, size_t len) override;
  int Recv(void* buf, size_t cap, int timeout_ms) override;
  void Shutdown() override;

 private:
  std::mutex mutex_;  // guards fd_ against Shutdown during Connect
  int fd_ = -1;
  bool shut_ = false;
};

class PosixSocketFactory : public ISocketFactory {
 public:
  std::unique_ptr<IStreamSocket> Create() override { return std::make_unique<PosixSocket>(); }
};

}  // namespace kiv_proto
