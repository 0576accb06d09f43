// The small socket abstraction under the client session: a blocking TCP stream
// whose reads take a timeout and which another thread can shut down.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kiv_proto {

class IStreamSocket {
 public:
  static constexpr int kRecvTimeout = -2;
  static constexpr int kRecvError = -1;

  virtual ~IStreamSocket() = default;
  // Resolves host (numeric or name) and connects within timeout_ms.
  [[nodiscard]] virtual bool Connect(const std::string& host, uint16_t port, int timeout_ms) = 0;
  // Sends every byte; may be called while another thread is in Recv.
  [[nodiscard]] virtual bool SendAll(const void* data, size_t len) = 0;
  // > 0 bytes read, 0 orderly close, kRecvError, or kRecvTimeout after timeout_ms.
  virtual int Recv(void* buf, size_t cap, int timeout_ms) = 0;
  // Ends both directions; a Recv in progress on another thread returns.
  virtual void Shutdown() = 0;
};

class ISocketFactory {
 public:
  virtual ~ISocketFactory() = default;
  virtual std::unique_ptr<IStreamSocket> Create() = 0;
};

}  // namespace kiv_proto
