#include "server/testing/blocking_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "protocol/wire/frame_codec.h"

namespace kiv_test {

BlockingSocket::BlockingSocket(uint16_t port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd_ < 0) return;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

BlockingSocket::~BlockingSocket() {
  if (fd_ >= 0) ::close(fd_);
}

bool BlockingSocket::SendAll(const std::string& bytes) {
  size_t sent = 0;
  while (fd_ >= 0 && sent < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return fd_ >= 0;
}

bool BlockingSocket::SendFrame(const std::string& payload) { return SendAll(kiv_proto::EncodeFrame(payload)); }

bool BlockingSocket::ReadExactly(char* out, size_t n, int timeout_ms) {
  size_t got = 0;
  while (got < n) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) return false;
    const ssize_t r = ::recv(fd_, out + got, n - got, 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    got += static_cast<size_t>(r);
  }
  return true;
}

bool BlockingSocket::ReadFrame(std::string* payload, int timeout_ms) {
  if (fd_ < 0) return false;
  unsigned char head[kiv_proto::kFrameHeaderBytes];
  if (!ReadExactly(reinterpret_cast<char*>(head), sizeof head, timeout_ms)) return false;
  const size_t length = (size_t{head[0]} << 24) | (size_t{head[1]} << 16) | (size_t{head[2]} << 8) | head[3];
  if (length > kiv_proto::kMaxFramePayload) return false;
  payload->assign(length, '\0');
  return ReadExactly(payload->data(), length, timeout_ms);
}

bool BlockingSocket::AwaitClosed(int timeout_ms) {
  if (fd_ < 0) return true;
  char buf[4096];
  for (;;) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, timeout_ms) <= 0) return false;
    const ssize_t r = ::recv(fd_, buf, sizeof buf, 0);
    if (r == 0) return true;
    if (r < 0) return errno != EINTR && errno != EAGAIN;
  }
}

}  // namespace kiv_test
