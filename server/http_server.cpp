#include "server/http_server.h"

#include <array>
#include <memory>

namespace kiv_server {

using asio::ip::tcp;

class HttpServer::Exchange : public std::enable_shared_from_this<Exchange> {
 public:
  Exchange(tcp::socket socket, const HttpRouter& router, const HttpServerOptions& options)
      : socket_(std::move(socket)),
        timer_(socket_.get_executor()),
        router_(router),
        parser_(16 * 1024, options.max_body),
        timeout_(options.request_timeout) {}

  void Start() {
    timer_.expires_after(timeout_);
    timer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
      if (!ec) self->Finish();
    });
    Read();
  }

 private:
  void Read() {
    socket_.async_read_some(asio::buffer(buf_), [self = shared_from_this()](const asio::error_code& ec, size_t n) {
      if (ec) return self->Finish();
      switch (self->parser_.Feed(self->buf_.data(), n)) {
        case HttpRequestParser::Status::kNeedMore: return self->Read();
        case HttpRequestParser::Status::kError:
          return self->Respond(HttpResponse{self->parser_.error_status(), "application/json", "{}"});
        case HttpRequestParser::Status::kDone: {
          HttpPeer peer;
          asio::error_code le;
          const auto local = self->socket_.local_endpoint(le);
          if (!le) peer.local_host = local.address().to_string();
          return self->Respond(self->router_.Route(self->parser_.request(), peer));
        }
      }
    });
  }

  void Respond(const HttpResponse& response) {
    out_ = SerializeResponse(response);
    asio::async_write(socket_, asio::buffer(out_), [self = shared_from_this()](const asio::error_code&, size_t) {
      self->Finish();
    });
  }

  void Finish() {
    asio::error_code ec;
    timer_.cancel();
    socket_.shutdown(tcp::socket::shutdown_both, ec);
    socket_.close(ec);
  }

  tcp::socket socket_;
  asio::steady_timer timer_;
  const HttpRouter& router_;
  HttpRequestParser parser_;
  std::chrono::milliseconds timeout_;
  std::array<char, 8192> buf_{};
  std::string out_;
};

HttpServer::HttpServer(asio::io_context& io, const tcp::endpoint& endpoint, const HttpRouter& router,
                       HttpServerOptions options)
    : io_(io), acceptor_(io, endpoint), router_(router), options_(options) {
  port_ = acceptor_.local_endpoint().port();
}

void HttpServer::Start() { Accept(); }

void HttpServer::Stop() {
  asio::error_code ec;
  acceptor_.close(ec);
}

void HttpServer::Accept() {
  acceptor_.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted || !acceptor_.is_open()) return;
    if (!ec) std::make_shared<Exchange>(std::move(socket), router_, options_)->Start();
    Accept();
  });
}

}  // namespace kiv_server
