#include "server/testing/raw_http.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

namespace kiv_test {

bool SplitUrl(const std::string& url, std::string* host, uint16_t* port, std::string* path) {
  const std::string scheme = "http://";
  if (url.rfind(scheme, 0) != 0) return false;
  const size_t slash = url.find('/', scheme.size());
  const std::string authority = url.substr(scheme.size(), slash - scheme.size());
  const size_t colon = authority.rfind(':');
  if (slash == std::string::npos || colon == std::string::npos) return false;
  *host = authority.substr(0, colon);
  *port = static_cast<uint16_t>(std::strtoul(authority.c_str() + colon + 1, nullptr, 10));
  *path = url.substr(slash);
  return *port != 0;
}

namespace {

void ParseAnswer(const std::string& in, RawHttpAnswer* out) {
  if (in.rfind("HTTP/1.", 0) != 0 || in.size() < 12) return;
  const size_t head_end = in.find("\r\n\r\n");
  if (head_end == std::string::npos) return;
  out->answered = true;
  out->status = std::atoi(in.c_str() + 9);
  out->body = in.substr(head_end + 4);
}

}  // namespace

RawHttpAnswer RawHttp(const RawHttpRequest& r) {
  RawHttpAnswer answer;
  std::string host, path;
  uint16_t port = 0;
  if (!SplitUrl(r.url, &host, &port, &path)) return answer;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  inet_pton(AF_INET, host.c_str(), &addr.sin_addr);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return answer;
  }
  fcntl(fd, F_SETFL, O_NONBLOCK);
  const uint64_t body_length = r.body.size() + r.zero_bytes;
  std::string head = r.method + " " + path + " HTTP/1.1\r\nHost: " + host + "\r\n" + r.extra_headers;
  if (r.content_length) {
    head +=
        "Content-Length: " + std::to_string(r.declared_length == UINT64_MAX ? body_length : r.declared_length) + "\r\n";
  }
  head += "\r\n";
  std::string pending = head + r.body;
  uint64_t zeros_left = r.zero_bytes;
  const std::vector<char> zeros(64 * 1024, 0);
  size_t sent_of_pending = 0;
  bool sending = true;
  std::string in;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(r.timeout_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, static_cast<short>(POLLIN | (sending ? POLLOUT : 0)), 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
      char buf[65536];
      const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      in.append(buf, static_cast<size_t>(n));
      sending = false;  // the server answered: stop sending
      continue;
    }
    if (sending && (p.revents & POLLOUT)) {
      const char* data = nullptr;
      size_t len = 0;
      if (sent_of_pending < pending.size()) {
        data = pending.data() + sent_of_pending;
        len = pending.size() - sent_of_pending;
      } else if (zeros_left > 0) {
        data = zeros.data();
        len = static_cast<size_t>(std::min<uint64_t>(zeros_left, zeros.size()));
      } else {
        sending = false;
        continue;
      }
      const ssize_t n = ::send(fd, data, len, MSG_NOSIGNAL);
      if (n < 0) {
        sending = false;
        continue;
      }
      const size_t from_pending = sent_of_pending < pending.size() ? static_cast<size_t>(n) : 0;
      const size_t head_part =
          sent_of_pending < head.size() ? std::min(head.size() - sent_of_pending, from_pending) : 0;
      answer.sent_body_bytes += static_cast<uint64_t>(n) - head_part;
      sent_of_pending += from_pending;
      if (from_pending == 0) zeros_left -= static_cast<uint64_t>(n);
    }
  }
  ::close(fd);
  ParseAnswer(in, &answer);
  return answer;
}

}  // namespace kiv_test
