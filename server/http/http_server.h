// The HTTP endpoint (Asio, same thread as the control plane): one request per
// connection, routed by path; answered and closed. Bodies of upload routes are streamed
// to their sinks as they arrive (an "Expect: 100-continue" is answered once accepted).
#pragma once

#include <asio.hpp>

#include <chrono>
#include <cstdint>

#include "server/http/http_request.h"

namespace kiv_server {

struct HttpServerOptions {
  std::chrono::milliseconds request_timeout{10000};  // a whole exchange, upload included
  std::chrono::milliseconds stall_time{15000};       // HttpDelivery::kStall holds this long
  std::chrono::milliseconds refusal_linger{1000};    // unread upload bytes drained after a refusal
  size_t max_body = 1u << 20;                        // bodies that are not streamed
};

class HttpServer {
 public:
  HttpServer(asio::io_context& io, const asio::ip::tcp::endpoint& endpoint, const HttpRouter& router,
             HttpServerOptions options);
  void Start();
  void Stop();
  uint16_t port() const { return port_; }

 private:
  class Exchange;
  void Accept();

  asio::io_context& io_;
  asio::ip::tcp::acceptor acceptor_;
  const HttpRouter& router_;
  HttpServerOptions options_;
  uint16_t port_ = 0;
};

}  // namespace kiv_server
