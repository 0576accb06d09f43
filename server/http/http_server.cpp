#include "server/http/http_server.h"

#include <array>
#include <cstdio>
#include <memory>

#include "server/http/http_body_sink.h"

namespace kiv_server {

using asio::ip::tcp;

namespace {

constexpr char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";

bool WantsContinue(const HttpRequest& head) {
  auto it = head.headers.find("expect");
  return it != head.headers.end() && (it->second == "100-continue" || it->second == "100-Continue");
}

}  // namespace

class HttpServer::Exchange : public std::enable_shared_from_this<Exchange> {
 public:
  Exchange(tcp::socket socket, const HttpRouter& router, const HttpServerOptions& options, std::shared_ptr<size_t> live)
      : live_(std::move(live)),
        socket_(std::move(socket)),
        timer_(socket_.get_executor()),
        router_(router),
        options_(options),
        parser_(16 * 1024, options.max_body) {
    parser_.StopAtHead();
    ++*live_;
  }
  ~Exchange() { --*live_; }

  void Start() {
    Arm(options_.request_timeout);
    Read();
  }

  // Its request's head has not arrived (nothing is being served for it yet).
  bool AwaitingHead() const { return awaiting_head_; }
  // Closed to make room for a newer connection.
  void Evict() { Finish(); }

 private:
  void Arm(std::chrono::milliseconds after) {
    timer_.expires_after(after);
    timer_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
      if (!ec) self->Finish();
    });
  }

  void Read() {
    socket_.async_read_some(asio::buffer(buf_), [self = shared_from_this()](const asio::error_code& ec, size_t n) {
      if (ec) return self->Finish();
      if (self->sink_) return self->OnBody(self->buf_.data(), n);
      self->OnParsed(self->parser_.Feed(self->buf_.data(), n));
    });
  }

  void OnParsed(HttpRequestParser::Status status) {
    if (status != HttpRequestParser::Status::kNeedMore) awaiting_head_ = false;
    switch (status) {
      case HttpRequestParser::Status::kNeedMore:
        return Read();
      case HttpRequestParser::Status::kHead:
        return OnHead();
      case HttpRequestParser::Status::kError:
        return Respond(HttpResponse{parser_.error_status(), "application/json", "{}"});
      case HttpRequestParser::Status::kDone:
        return Respond(router_.Route(parser_.request(), Peer()));
    }
  }

  void OnHead() {
    const HttpRouter::UploadHandler* upload = router_.FindUpload(parser_.request());
    if (upload == nullptr) return OnParsed(parser_.ReadBody());
    HttpUploadStart start = (*upload)(parser_.request(), Peer());
    if (!start.sink) {
      lingering_ = true;
      return Respond(start.refusal);
    }
    sink_ = std::move(start.sink);
    remaining_ = parser_.body_length();
    const std::string early = parser_.TakeBuffered();
    if (WantsContinue(parser_.request()) && early.empty()) {
      asio::async_write(socket_, asio::buffer(kContinue, sizeof kContinue - 1),
                        [self = shared_from_this()](const asio::error_code& ec, size_t) {
                          if (ec) return self->Finish();
                          self->OnBody(nullptr, 0);
                        });
      return;
    }
    OnBody(early.data(), early.size());
  }

  void OnBody(const char* data, size_t n) {
    const size_t take = std::min(n, remaining_);
    if (take > 0 && !sink_->Write(data, take)) return Respond(FinishSink());
    remaining_ -= take;
    if (remaining_ == 0) return Respond(FinishSink());
    Read();
  }

  HttpResponse FinishSink() {
    HttpResponse response = sink_->Finish();
    sink_.reset();
    return response;
  }

  HttpPeer Peer() const {
    HttpPeer peer;
    asio::error_code le;
    const auto local = socket_.local_endpoint(le);
    if (!le) peer.local_host = local.address().to_string();
    return peer;
  }

  void Respond(const HttpResponse& response) {
    if (response.delivery == HttpDelivery::kReset) {
      asio::error_code ec;
      socket_.set_option(asio::socket_base::linger(true, 0), ec);
      return Finish();
    }
    if (response.delivery == HttpDelivery::kStall) return Arm(options_.stall_time);
    out_ = SerializeResponse(response);
    asio::async_write(socket_, asio::buffer(out_), [self = shared_from_this()](const asio::error_code& ec, size_t) {
      if (ec || !self->lingering_) return self->Finish();
      self->Linger();
    });
  }

  // After refusing an upload whose body may be on its way: stop sending, read and drop
  // what arrives for a while, so the peer reads the answer rather than a reset.
  void Linger() {
    asio::error_code ec;
    socket_.shutdown(tcp::socket::shutdown_send, ec);
    Arm(options_.refusal_linger);
    Drain();
  }

  void Drain() {
    socket_.async_read_some(asio::buffer(buf_), [self = shared_from_this()](const asio::error_code& ec, size_t) {
      if (ec) return self->Finish();
      self->Drain();
    });
  }

  void Finish() {
    asio::error_code ec;
    timer_.cancel();
    socket_.shutdown(tcp::socket::shutdown_both, ec);
    socket_.close(ec);
  }

  std::shared_ptr<size_t> live_;
  tcp::socket socket_;
  asio::steady_timer timer_;
  const HttpRouter& router_;
  const HttpServerOptions options_;
  HttpRequestParser parser_;
  std::unique_ptr<IHttpBodySink> sink_;
  size_t remaining_ = 0;
  bool lingering_ = false;
  bool awaiting_head_ = true;
  std::array<char, 64 * 1024> buf_{};
  std::string out_;
};

HttpServer::HttpServer(asio::io_context& io, const tcp::endpoint& endpoint, const HttpRouter& router,
                       HttpServerOptions options)
    : io_(io), acceptor_(io, endpoint), router_(router), options_(options), accept_pause_(io) {
  port_ = acceptor_.local_endpoint().port();
}

void HttpServer::Start() { Accept(); }

void HttpServer::Stop() {
  asio::error_code ec;
  acceptor_.close(ec);
  accept_pause_.cancel();
}

void HttpServer::Accept() {
  acceptor_.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted || !acceptor_.is_open()) return;
    if (!ec) {
      accept_failure_logged_ = false;
      OnAccepted(std::move(socket));
      return Accept();
    }
    // Out of descriptors (or another failure that would recur at once): wait a little.
    if (!accept_failure_logged_) {
      accept_failure_logged_ = true;
      std::fprintf(stderr, "meeting_server: http: accept failed (%s); pausing accepts\n", ec.message().c_str());
    }
    accept_pause_.expires_after(options_.accept_pause);
    accept_pause_.async_wait([this](const asio::error_code& e) {
      if (!e && acceptor_.is_open()) Accept();
    });
  });
}

bool HttpServer::EvictOldestIdle() {
  for (auto it = exchanges_.begin(); it != exchanges_.end();) {
    std::shared_ptr<Exchange> e = it->lock();
    if (!e) {
      it = exchanges_.erase(it);
    } else if (e->AwaitingHead()) {
      exchanges_.erase(it);
      e->Evict();
      return true;
    } else {
      ++it;
    }
  }
  return false;
}

void HttpServer::OnAccepted(tcp::socket socket) {
  if (*live_ >= options_.max_connections) {
    // The oldest connection still silent about its request makes room; when every one is
    // being served, the new one is closed.
    const bool room = EvictOldestIdle();
    if (!full_logged_) {
      full_logged_ = true;
      std::fprintf(stderr, "meeting_server: http: %zu connections at once; %s\n", *live_,
                   room ? "closing the oldest idle ones" : "closing further ones");
    }
    if (!room) {
      asio::error_code ignored;
      socket.close(ignored);
      return;
    }
  } else {
    full_logged_ = false;
  }
  auto exchange = std::make_shared<Exchange>(std::move(socket), router_, options_, live_);
  exchanges_.push_back(exchange);
  exchange->Start();
}

}  // namespace kiv_server
