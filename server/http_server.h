// The HTTP endpoint (Asio, same thread as the control plane): one request per
// connection, routed by path; answered and closed.
#pragma once

#include <asio.hpp>

#include <chrono>
#include <cstdint>

#include "server/http_request.h"

namespace kiv_server {

struct HttpServerOptions {
  std::chrono::milliseconds request_timeout{10000};
  size_t max_body = 1u << 20;
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
