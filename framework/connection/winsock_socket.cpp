#include "winsock_socket.h"

#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <string>

namespace tessarine {
namespace {

// A blocked select is not woken by shutdown everywhere (Wine included), so waits are
// cut into slices that look at the shut-down flag.
constexpr int kSliceMs = 50;

// Waits until the socket is readable (write=false) or writable; 1 ready, 0 timeout, -1 error.
int WaitSocket(SOCKET s, bool write, int timeout_ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  fd_set errors;
  FD_ZERO(&errors);
  FD_SET(s, &errors);
  timeval tv{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
  const int rc = select(0, write ? nullptr : &set, write ? &set : nullptr, &errors, &tv);
  if (rc == SOCKET_ERROR) return -1;
  if (rc == 0) return 0;
  return FD_ISSET(s, &errors) ? -1 : 1;
}

// The sockets alive, and until when connections fail (CutLinks).
std::mutex g_sockets_mutex;
std::set<WinsockSocket*>& LiveSockets() {
  static auto* sockets = new std::set<WinsockSocket*>();
  return *sockets;
}
std::atomic<long long> g_cut_until_ms{0};

long long NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

void CutLinks(int ms) {
  g_cut_until_ms = NowMs() + ms;
  std::lock_guard<std::mutex> lock(g_sockets_mutex);
  for (WinsockSocket* s : LiveSockets()) s->Shutdown();
}

WinsockSocket::WinsockSocket() {
  std::lock_guard<std::mutex> lock(g_sockets_mutex);
  LiveSockets().insert(this);
}

WinsockSocket::~WinsockSocket() {
  {
    std::lock_guard<std::mutex> lock(g_sockets_mutex);
    LiveSockets().erase(this);
  }
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
}

bool WinsockSocket::Connect(const std::string& host, uint16_t port, int timeout_ms) {
  if (NowMs() < g_cut_until_ms) return false;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* res = nullptr;
  if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &res) != 0) return false;
  bool ok = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (addrinfo* ai = res; ai != nullptr && !ok && !shut_; ai = ai->ai_next) {
    const SOCKET s = socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
    if (s == INVALID_SOCKET) continue;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (socket_ != INVALID_SOCKET) closesocket(socket_);
      socket_ = s;
    }
    u_long nonblocking = 1;
    ioctlsocket(s, FIONBIO, &nonblocking);
    int rc = connect(s, ai->ai_addr, static_cast<int>(ai->ai_addrlen));
    if (rc == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
      rc = -1;
      while (!shut_) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) break;
        const int w = WaitSocket(s, true, static_cast<int>(std::min<long long>(left, kSliceMs)));
        if (w < 0) break;
        if (w > 0) {
          int err = 0;
          int len = sizeof err;
          if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&err), &len) == 0 && err == 0) rc = 0;
          break;
        }
      }
    }
    nonblocking = 0;
    ioctlsocket(s, FIONBIO, &nonblocking);
    if (rc == 0) {
      const BOOL one = TRUE;
      setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
      ok = true;
    }
  }
  freeaddrinfo(res);
  return ok && !shut_;
}

bool WinsockSocket::SendAll(const void* data, size_t len) {
  const char* p = static_cast<const char*>(data);
  while (len > 0 && !shut_) {
    const int chunk = static_cast<int>(std::min<size_t>(len, 1u << 20));
    const int n = send(socket_, p, chunk, 0);
    if (n <= 0) return false;
    p += n;
    len -= static_cast<size_t>(n);
  }
  return len == 0;
}

int WinsockSocket::Recv(void* buf, size_t cap, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (shut_) return kRecvError;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    const int w = WaitSocket(socket_, false, static_cast<int>(std::clamp<long long>(left, 0, kSliceMs)));
    if (w < 0) return kRecvError;
    if (w > 0) break;
    if (left <= kSliceMs) return kRecvTimeout;
  }
  if (shut_) return kRecvError;
  const int n = recv(socket_, static_cast<char*>(buf), static_cast<int>(std::min<size_t>(cap, 1u << 20)), 0);
  return n < 0 ? kRecvError : n;
}

void WinsockSocket::Shutdown() {
  std::lock_guard<std::mutex> lock(mutex_);
  shut_ = true;
  if (socket_ != INVALID_SOCKET) shutdown(socket_, SD_BOTH);
}

WinsockSocketFactory::WinsockSocketFactory() {
  WSADATA data;
  started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

WinsockSocketFactory::~WinsockSocketFactory() {
  if (started_) WSACleanup();
}

std::unique_ptr<kiv_proto::IStreamSocket> WinsockSocketFactory::Create() { return std::make_unique<WinsockSocket>(); }

}  // namespace tessarine
