#include "server/control/control_server.h"

#include <array>
#include <deque>

#include "protocol/wire/frame_codec.h"
#include "protocol/wire/result_codes.h"
#include "protocol/wire/wire_message.h"

namespace kiv_server {

using asio::ip::tcp;

class ControlServer::Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(ControlServer& server, ClientId id, tcp::socket socket)
      : server_(server),
        id_(id),
        socket_(std::move(socket)),
        idle_(server.io_),
        login_deadline_(server.io_),
        decoder_(server.options_.prelogin_max_payload) {}

  void Start() {
    asio::error_code ec;
    socket_.set_option(tcp::no_delay(true), ec);
    ArmIdle();
    login_deadline_.expires_after(server_.options_.login_timeout);
    login_deadline_.async_wait([self = shared_from_this()](const asio::error_code& e) {
      if (!e && !self->closed_ && !self->admitted_) self->server_.Drop(self->id_, true);
    });
    Read();
  }

  std::string LocalAddress() const {
    asio::error_code ec;
    const auto local = socket_.local_endpoint(ec);
    if (ec) return {};
    const asio::ip::address a = local.address();
    if (a.is_v6() && a.to_v6().is_v4_mapped())
      return asio::ip::make_address_v4(asio::ip::v4_mapped, a.to_v6()).to_string();
    return a.to_string();
  }

  void Admit() {
    admitted_ = true;
    login_deadline_.cancel();
    decoder_.set_max_payload(kiv_proto::kMaxClientFramePayload);
  }

  // Queues a payload; false when the client has too much unread output.
  bool Queue(const std::string& payload) {
    if (closed_ || closing_) return true;
    std::string frame = kiv_proto::EncodeFrame(payload);
    queued_ += frame.size();
    if (queued_ > server_.options_.max_queued_bytes) return false;
    out_.push_back(std::move(frame));
    if (!writing_) Write();
    return true;
  }

  // Stops reading; closes once the queued output is written.
  void CloseAfterFlush() {
    if (closed_) return;
    closing_ = true;
    if (!writing_) server_.Drop(id_, false);
  }

  void Shut() {
    if (closed_) return;
    closed_ = true;
    SetBuffered(0);
    asio::error_code ec;
    idle_.cancel();
    login_deadline_.cancel();
    socket_.shutdown(tcp::socket::shutdown_both, ec);
    socket_.close(ec);
  }

 private:
  void ArmIdle() {
    idle_.expires_after(server_.options_.idle_timeout);
    idle_.async_wait([self = shared_from_this()](const asio::error_code& ec) {
      if (!ec && !self->closed_) self->server_.Drop(self->id_, true);
    });
  }

  void Read() {
    socket_.async_read_some(asio::buffer(buf_),
                            [self = shared_from_this()](const asio::error_code& ec, size_t n) { self->OnRead(ec, n); });
  }

  void OnRead(const asio::error_code& ec, size_t n) {
    if (closed_) return;
    if (ec) {
      server_.Drop(id_, !closing_);
      return;
    }
    if (closing_) return;  // a logout ended the conversation
    ArmIdle();
    decoder_.Feed(buf_.data(), n);
    std::string payload;
    for (;;) {
      const auto st = decoder_.Next(&payload);
      SetBuffered(decoder_.buffered());
      if (st == kiv_proto::FrameDecoder::Status::kNeedMore) break;
      if (st == kiv_proto::FrameDecoder::Status::kBadLength) {
        // The stream cannot be resynchronised: say why, then end the login.
        (void)Queue(kiv_proto::EncodeError({kiv_proto::kResultInvalidArgument, "bad frame length"}));
        server_.core_->OnDisconnected(id_);
        CloseAfterFlush();
        return;
      }
      server_.core_->OnPayload(id_, payload);
      if (closed_ || closing_) return;
    }
    if (server_.EnforceInputCap(id_)) return;
    Read();
  }

  // Keeps the server's account of partial input in step with this connection's.
  void SetBuffered(size_t n) { server_.input_.Set(id_, n); }

  void Write() {
    writing_ = true;
    asio::async_write(socket_, asio::buffer(out_.front()),
                      [self = shared_from_this()](const asio::error_code& ec, size_t) { self->OnWritten(ec); });
  }

  void OnWritten(const asio::error_code& ec) {
    writing_ = false;
    if (closed_) return;
    if (ec) {
      server_.Drop(id_, !closing_);
      return;
    }
    queued_ -= out_.front().size();
    out_.pop_front();
    if (!out_.empty()) {
      Write();
    } else if (closing_) {
      server_.Drop(id_, false);
    }
  }

  ControlServer& server_;
  const ClientId id_;
  tcp::socket socket_;
  asio::steady_timer idle_;
  asio::steady_timer login_deadline_;
  std::array<char, 16384> buf_{};
  kiv_proto::FrameDecoder decoder_;
  bool admitted_ = false;
  std::deque<std::string> out_;
  size_t queued_ = 0;
  bool writing_ = false;
  bool closing_ = false;
  bool closed_ = false;
};

ControlServer::ControlServer(asio::io_context& io, const tcp::endpoint& endpoint, ControlServerOptions options)
    : io_(io), acceptor_(io, endpoint), accept_pause_(io), options_(options), input_(options.max_buffered_total) {
  port_ = acceptor_.local_endpoint().port();
}

ControlServer::~ControlServer() { Stop(); }

void ControlServer::Start(MeetingCore& core) {
  core_ = &core;
  Accept();
}

void ControlServer::Stop() {
  asio::error_code ec;
  acceptor_.close(ec);
  accept_pause_.cancel();
  auto connections = std::move(connections_);
  connections_.clear();
  unadmitted_.clear();
  for (auto& [id, conn] : connections) conn->Shut();
}

void ControlServer::Accept() {
  acceptor_.async_accept([this](const asio::error_code& ec, tcp::socket socket) {
    if (ec == asio::error::operation_aborted || !acceptor_.is_open()) return;
    if (ec) {
      // Out of descriptors (or another failure that would recur at once): wait a little.
      if (!accept_failure_logged_) {
        accept_failure_logged_ = true;
        core_->Log("control: accept failed (" + ec.message() + "); pausing accepts");
      }
      accept_pause_.expires_after(options_.accept_pause);
      accept_pause_.async_wait([this](const asio::error_code& e) {
        if (!e && acceptor_.is_open()) Accept();
      });
      return;
    }
    accept_failure_logged_ = false;
    if (connections_.size() >= options_.max_connections && !EvictOldestUnadmitted()) {
      asio::error_code ignored;
      socket.close(ignored);
    } else {
      const ClientId id = next_id_++;
      auto conn = std::make_shared<Connection>(*this, id, std::move(socket));
      connections_[id] = conn;
      unadmitted_.insert(id);
      core_->OnConnected(id);
      conn->Start();
    }
    Accept();
  });
}

void ControlServer::Send(ClientId client, std::string payload) {
  auto it = connections_.find(client);
  if (it == connections_.end()) return;
  if (!it->second->Queue(payload)) {
    // The client does not read its answers. The meeting logic may be walking a member
    // list right now, so it hears of the loss only after this call.
    it->second->Shut();
    asio::post(io_, [this, client] { Drop(client, true); });
  }
}

void ControlServer::Close(ClientId client) {
  auto it = connections_.find(client);
  if (it != connections_.end()) it->second->CloseAfterFlush();
}

void ControlServer::Admit(ClientId client) {
  auto it = connections_.find(client);
  if (it == connections_.end()) return;
  unadmitted_.erase(client);
  it->second->Admit();
}

std::string ControlServer::LocalAddress(ClientId client) {
  auto it = connections_.find(client);
  return it == connections_.end() ? std::string() : it->second->LocalAddress();
}

bool ControlServer::EvictOldestUnadmitted() {
  if (unadmitted_.empty()) return false;
  Drop(*unadmitted_.begin(), true);
  return true;
}

bool ControlServer::EnforceInputCap(ClientId reader) {
  bool reader_dropped = false;
  for (ClientId victim : input_.OverCap()) {
    if (core_ != nullptr) {
      if (ClientInfo* c = core_->State().Client(victim)) {
        core_->LogLimit(*c, "control input",
                        "dropped holding the most partial input while the total was over " +
                            std::to_string(input_.max_total()) + " bytes");
      }
    }
    reader_dropped = reader_dropped || victim == reader;
    Drop(victim, true);
  }
  return reader_dropped;
}

void ControlServer::Drop(ClientId client, bool tell_core) {
  auto it = connections_.find(client);
  if (it == connections_.end()) return;
  std::shared_ptr<Connection> conn = it->second;
  connections_.erase(it);
  unadmitted_.erase(client);
  conn->Shut();
  if (tell_core) core_->OnDisconnected(client);
}

}  // namespace kiv_server
