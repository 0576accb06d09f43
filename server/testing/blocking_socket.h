// A loopback TCP connection for in-process server tests: blocking writes, reads with a
// time limit, and the control plane's frames.
#pragma once

#include <cstdint>
#include <string>

namespace kiv_test {

class BlockingSocket {
 public:
  explicit BlockingSocket(uint16_t port);
  ~BlockingSocket();
  BlockingSocket(const BlockingSocket&) = delete;
  BlockingSocket& operator=(const BlockingSocket&) = delete;

  bool connected() const { return fd_ >= 0; }
  bool SendAll(const std::string& bytes);
  bool SendFrame(const std::string& payload);
  // The next frame's payload; false on a closed connection or after `timeout_ms`.
  bool ReadFrame(std::string* payload, int timeout_ms = 5000);
  // One byte; false on a closed connection or after `timeout_ms`.
  bool ReadByte(char* out, int timeout_ms = 5000) { return ReadExactly(out, 1, timeout_ms); }
  // True once the peer has closed (or reset) the connection within `timeout_ms`; data
  // arriving before is read and dropped.
  bool AwaitClosed(int timeout_ms = 5000);

 private:
  bool ReadExactly(char* out, size_t n, int timeout_ms);
  int fd_ = -1;
};

}  // namespace kiv_test
