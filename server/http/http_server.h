// The HTTP endpoint (Asio, same thread as the control plane): one request per
// connection, routed by path; answered and closed. Bodies of upload routes are streamed
// to their sinks as they arrive (an "Expect: 100-continue" is answered once accepted).
// Beyond `max_connections` the oldest connection that has not sent its request's head is
// closed to make room (the new one is closed when there is none); a failed accept
// (descriptors exhausted) waits `accept_pause` before the next.
#pragma once

#include <asio.hpp>

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>

#include "server/http/http_request.h"

namespace kiv_server {

struct HttpServerOptions {
  std::chrono::milliseconds request_timeout{10000};  // a whole exchange, upload included
  std::chrono::milliseconds stall_time{15000};       // HttpDelivery::kStall holds this long
  std::chrono::milliseconds refusal_linger{1000};    // unread upload bytes drained after a refusal
  size_t max_body = 1u << 20;                        // bodies that are not streamed
  size_t max_connections = 256;                      // exchanges at once
  std::chrono::milliseconds accept_pause{100};       // after a failed accept
};

class HttpServer {
 public:
  HttpServer(asio::io_context& io, const asio::ip::tcp::endpoint& endpoint, const HttpRouter& router,
             HttpServerOptions options);
  void Start();
  void Stop();
  uint16_t port() const { return port_; }
  size_t exchange_count() const { return *live_; }

 private:
  class Exchange;
  void Accept();
  void OnAccepted(asio::ip::tcp::socket socket);
  // Closes the longest-waiting exchange still without a request head; false if none.
  bool EvictOldestIdle();

  asio::io_context& io_;
  asio::ip::tcp::acceptor acceptor_;
  const HttpRouter& router_;
  HttpServerOptions options_;
  uint16_t port_ = 0;
  asio::steady_timer accept_pause_;
  std::shared_ptr<size_t> live_ = std::make_shared<size_t>(0);  // exchanges running (they may outlive the server)
  std::deque<std::weak_ptr<Exchange>> exchanges_;               // in accepting order
  bool full_logged_ = false;                                    // the cap was logged since the count was below it
  bool accept_failure_logged_ = false;
};

}  // namespace kiv_server
