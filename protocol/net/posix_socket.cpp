#include "protocol/net/posix_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace kiv_proto {

PosixSocket::~PosixSocket() {
  if (fd_ >= 0) ::close(fd_);
}

bool PosixSocket::Connect(const std::string& host, uint16_t port, int timeout_ms) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &res) != 0) return false;
  bool ok = false;
  for (addrinfo* ai = res; ai != nullptr && !ok; ai = ai->ai_next) {
    const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC, ai->ai_protocol);
    if (fd < 0) continue;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (shut_) {
        ::close(fd);
        break;
      }
      if (fd_ >= 0) ::close(fd_);
      fd_ = fd;
    }
    const int flags = ::fcntl(fd, F_GETFL, 0);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    int rc = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
    if (rc != 0 && errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      rc = ::poll(&p, 1, timeout_ms) == 1 ? 0 : -1;
      int err = 0;
      socklen_t len = sizeof err;
      if (rc == 0 && (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0)) rc = -1;
    }
    ::fcntl(fd, F_SETFL, flags);
    if (rc == 0) {
      const int one = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      ok = true;
    }
  }
  ::freeaddrinfo(res);
  std::lock_guard<std::mutex> lock(mutex_);
  return ok && !shut_;
}

bool PosixSocket::SendAll(const void* data, size_t len) {
  const char* p = static_cast<const char*>(data);
  while (len > 0) {
    const ssize_t n = ::send(fd_, p, len, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    len -= static_cast<size_t>(n);
  }
  return true;
}

int PosixSocket::Recv(void* buf, size_t cap, int timeout_ms) {
  pollfd p{fd_, POLLIN, 0};
  int rc;
  do {
    rc = ::poll(&p, 1, timeout_ms);
  } while (rc < 0 && errno == EINTR);
  if (rc == 0) return kRecvTimeout;
  if (rc < 0) return kRecvError;
  ssize_t n;
  do {
    n = ::recv(fd_, buf, cap, 0);
  } while (n < 0 && errno == EINTR);
  return n < 0 ? kRecvError : static_cast<int>(n);
}

void PosixSocket::Shutdown() {
  std::lock_guard<std::mutex> lock(mutex_);
  shut_ = true;
  if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

}  // namespace kiv_proto
