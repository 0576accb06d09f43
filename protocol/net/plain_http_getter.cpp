#include "protocol/net/plain_http_getter.h"

#include <chrono>

#include "protocol/net/address_query.h"

namespace kiv_proto {
namespace {

constexpr size_t kMaxResponse = 1u << 20;

}  // namespace

bool SplitHttpUrl(const std::string& url, std::string* host, uint16_t* port, std::string* target) {
  static const std::string kScheme = "http://";
  if (url.compare(0, kScheme.size(), kScheme) != 0) return false;
  const size_t slash = url.find('/', kScheme.size());
  const std::string authority =
      url.substr(kScheme.size(), slash == std::string::npos ? std::string::npos : slash - kScheme.size());
  HostPort hp;
  if (authority.find(':') == std::string::npos) {
    hp.host = authority;
    hp.port = 80;
    if (hp.host.empty()) return false;
  } else if (!SplitHostPort(authority, &hp)) {
    return false;
  }
  *host = hp.host;
  *port = hp.port;
  *target = slash == std::string::npos ? "/" : url.substr(slash);
  for (char c : *target) {
    if (c <= 0x20 || c >= 0x7f) return false;
  }
  return true;
}

std::string PlainHttpGetter::Get(const std::string& url) {
  std::string host, target;
  uint16_t port = 0;
  if (!SplitHttpUrl(url, &host, &port, &target)) return {};
  std::unique_ptr<IStreamSocket> sock = sockets_.Create();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    active_ = sock.get();
  }
  std::string response;
  const std::string request =
      "GET " + target + " HTTP/1.0\r\nHost: " + host + ":" + std::to_string(port) + "\r\nConnection: close\r\n\r\n";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms_);
  if (sock->Connect(host, port, timeout_ms_) && sock->SendAll(request.data(), request.size())) {
    char buf[4096];
    while (response.size() < kMaxResponse) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) break;
      const int n = sock->Recv(buf, sizeof buf, static_cast<int>(left));
      if (n <= 0) break;
      response.append(buf, static_cast<size_t>(n));
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    active_ = nullptr;
  }
  const size_t header_end = response.find("\r\n\r\n");
  if (response.compare(0, 5, "HTTP/") != 0 || header_end == std::string::npos) return {};
  std::string body = response.substr(header_end + 4);
  // Like the SDK's client: the body ends at a zero byte.
  const size_t nul = body.find('\0');
  if (nul != std::string::npos) body.resize(nul);
  return body;
}

void PlainHttpGetter::Cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (active_ != nullptr) active_->Shutdown();
}

}  // namespace kiv_proto
