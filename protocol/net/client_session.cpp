#include "protocol/net/client_session.h"

#include <algorithm>
#include <utility>

#include "protocol/wire/ids.h"

namespace kiv_proto {
namespace {

using Clock = std::chrono::steady_clock;

int MsUntil(Clock::time_point t) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t - Clock::now()).count();
  return static_cast<int>(std::max<long long>(ms, 0));
}

bool ValidBusinessBody(const rapidjson::Value& body) {
  std::string name;
  int id = 0;
  return body.IsObject() && GetString(body, "business", &name) && !name.empty() && GetInt(body, "id", &id);
}

// A login answer that no retry can change.
bool IsFinal(int code) {
  return code == kResultInvalidArgument || code == kResultAuthFailed || code == kResultAppNotExist ||
         code == kResultUserAlreadyLogined;
}

}  // namespace

ClientSession::ClientSession(ISocketFactory& sockets, SessionOptions options) : sockets_(sockets), options_(options) {
  dispatcher_ = std::thread([this] { DispatchLoop(); });
}

ClientSession::~ClientSession() {
  Logout();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  cv_.notify_all();
  dispatcher_.join();
  std::lock_guard<std::mutex> ctl(control_mutex_);
  if (worker_.joinable()) worker_.join();
}

void ClientSession::SetListener(ISessionListener* listener) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (std::this_thread::get_id() != dispatch_thread_id_) {
    cv_.wait(lock, [this] { return !dispatching_; });
  }
  listener_ = listener;
}

void ClientSession::DispatchLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  dispatch_thread_id_ = std::this_thread::get_id();
  for (;;) {
    cv_.wait(lock, [this] { return closing_ || !queue_.empty(); });
    if (closing_) return;
    Event event = std::move(queue_.front().event);
    queued_bytes_ -= queue_.front().bytes;
    queue_.pop_front();
    cv_.notify_all();  // room for a waiting reader
    ISessionListener* listener = listener_;
    if (listener == nullptr) continue;
    dispatching_ = true;
    lock.unlock();
    event(*listener);
    lock.lock();
    dispatching_ = false;
    cv_.notify_all();
  }
}

void ClientSession::Post(uint64_t gen, Event event) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!Current(gen)) return;
  PostLocked(std::move(event));
}

void ClientSession::PostLocked(Event event, size_t bytes) {
  queue_.push_back(Queued{std::move(event), bytes});
  queued_bytes_ += bytes;
  cv_.notify_all();
}

void ClientSession::AwaitRoomLocked(std::unique_lock<std::mutex>& lock, uint64_t gen, size_t bytes) {
  cv_.wait(lock, [&] {
    if (closing_ || !Current(gen) || queue_.empty()) return true;
    return queue_.size() < options_.max_queued_events && queued_bytes_ + bytes <= options_.max_queued_bytes;
  });
}

size_t ClientSession::queued_events() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

int ClientSession::Login(const LoginParams& params, IHttpGetter* http) {
  HostPort server;
  if (http == nullptr || !SplitHostPort(params.server, &server) || !IsValidAppId(params.app_id) ||
      !IsValidUserId(params.user_id) || !IsValidDeviceId(params.device_id) || params.token.empty() ||
      params.token.size() > kMaxFieldLength || params.platform.size() > kMaxFieldLength ||
      params.extra.size() > kMaxFieldLength) {
    return kResultInvalidArgument;
  }
  std::lock_guard<std::mutex> ctl(control_mutex_);
  std::thread finished;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (active_) return kResultWrongState;
    finished = std::move(worker_);
  }
  // A worker that is no longer active has ended its login and is on its way out.
  if (finished.joinable()) finished.join();
  std::lock_guard<std::mutex> lock(mutex_);
  ++gen_;
  active_ = true;
  status_ = kStatusAddrQuerying;
  user_id_ = params.user_id;
  group_id_.clear();
  joined_ = join_reported_ = leave_pending_ = false;
  http_ = http;
  worker_ = std::thread(&ClientSession::Run, this, gen_, params, http);
  return kResultOk;
}

int ClientSession::Logout() {
  std::lock_guard<std::mutex> ctl(control_mutex_);
  std::shared_ptr<IStreamSocket> sock;
  IHttpGetter* http = nullptr;
  std::thread worker;
  bool was_active = false;
  bool logged_in = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    was_active = active_;
    if (was_active) {
      ++gen_;  // nothing of this login is reported from now on
      // The server handles a leave before the logout that follows it.
      if (leave_pending_) {
        PostLocked([g = leaving_group_](ISessionListener& l) { l.OnLeaveGroupResult(kResultOk, g); });
      }
      logged_in = status_ == kStatusLogined;
      active_ = false;
      status_ = kStatusUnconnect;
      group_id_.clear();
      joined_ = join_reported_ = leave_pending_ = false;
      sock = socket_;
      http = http_;
    }
    worker = std::move(worker_);
  }
  cv_.notify_all();  // ends a pause between reconnection attempts
  if (sock) {
    if (logged_in) {
      const std::string frame = EncodeFrame(EncodeLogout(SeqOnly{0}));
      std::lock_guard<std::mutex> send(send_mutex_);
      (void)sock->SendAll(frame.data(), frame.size());
    }
    sock->Shutdown();
  }
  if (http != nullptr) http->Cancel();
  if (worker.joinable()) worker.join();
  return was_active ? kResultOk : kResultWrongState;
}

int ClientSession::JoinGroup(const std::string& group_id) {
  std::string payload;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!active_ || status_ != kStatusLogined) return kResultNotLoggedIn;
    if (!IsValidGroupId(group_id)) return kResultInvalidArgument;
    if (!group_id_.empty()) return kResultWrongState;
    group_id_ = group_id;
    joined_ = join_reported_ = false;
    payload = EncodeJoin(JoinRequest{++seq_, group_id});
  }
  // A failed send shows up as a lost link; the group is joined again on reconnection.
  (void)SendPayload(payload);
  return kResultOk;
}

int ClientSession::LeaveGroup() {
  std::string payload;
  uint32_t seq = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!active_ || group_id_.empty()) return kResultWrongState;
    const std::string group = group_id_;
    group_id_.clear();
    joined_ = join_reported_ = false;
    if (status_ != kStatusLogined) {
      // The link is down: the membership went with it.
      PostLocked([group](ISessionListener& l) { l.OnLeaveGroupResult(kResultOk, group); });
      return kResultOk;
    }
    seq = ++seq_;
    leave_pending_ = true;
    leave_seq_ = seq;
    leaving_group_ = group;
    payload = EncodeLeave(SeqOnly{seq});
  }
  if (SendPayload(payload) != kResultOk) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (leave_pending_ && leave_seq_ == seq) {
      leave_pending_ = false;
      PostLocked([g = leaving_group_](ISessionListener& l) { l.OnLeaveGroupResult(kResultOk, g); });
    }
  }
  return kResultOk;
}

int ClientSession::SendBusiness(const rapidjson::Value& body) {
  if (!ValidBusinessBody(body)) return kResultInvalidArgument;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!active_ || status_ != kStatusLogined) return kResultNotLoggedIn;
  }
  const std::string payload = EncodeBusiness(body);
  if (payload.empty() || payload.size() > kMaxClientFramePayload) return kResultInvalidArgument;
  return SendPayload(payload);
}

SessionStatus ClientSession::Status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return status_;
}

std::string ClientSession::GroupId() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return group_id_;
}

std::string ClientSession::UserId() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return user_id_;
}

int ClientSession::SendPayload(const std::string& payload) {
  std::shared_ptr<IStreamSocket> sock;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sock = socket_;
  }
  if (!sock) return kResultConnectFailed;
  const std::string frame = EncodeFrame(payload);
  std::lock_guard<std::mutex> send(send_mutex_);
  if (!sock->SendAll(frame.data(), frame.size())) {
    sock->Shutdown();  // the reader sees the loss
    return kResultConnectFailed;
  }
  last_send_ = Clock::now();
  return kResultOk;
}

void ClientSession::SetStatus(uint64_t gen, SessionStatus status) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (Current(gen)) status_ = status;
}

void ClientSession::DropSocket() {
  std::shared_ptr<IStreamSocket> sock;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sock = std::move(socket_);  // logins never overlap: this is the worker's socket
  }
  if (sock) sock->Shutdown();
}

void ClientSession::Run(uint64_t gen, LoginParams params, IHttpGetter* http) {
  bool reconnecting = false;
  Clock::time_point window_end;
  int backoff = options_.reconnect_backoff_ms;
  for (;;) {
    std::shared_ptr<IStreamSocket> sock;
    std::string conflict;
    std::string detail;
    const int code = Establish(gen, params, http, reconnecting, &sock, &conflict, &detail);
    if (code == kResultOk) {
      std::string rejoin;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Current(gen)) break;
        status_ = kStatusLogined;  // before the listener hears of it
        if (reconnecting) {
          PostLocked([](ISessionListener& l) { l.OnReconnectSuccess(); });
          if (!group_id_.empty()) {
            joined_ = false;
            rejoin_seq_ = ++seq_;
            rejoin = EncodeJoin(JoinRequest{rejoin_seq_, group_id_});
          }
        } else {
          PostLocked([](ISessionListener& l) { l.OnLoginResult(kResultOk, std::string()); });
        }
      }
      if (!rejoin.empty()) (void)SendPayload(rejoin);
      reconnecting = false;
      backoff = options_.reconnect_backoff_ms;
      const bool logouted = ReadLoop(gen, *sock);
      DropSocket();
      std::lock_guard<std::mutex> lock(mutex_);
      if (!Current(gen)) break;
      if (logouted) {
        active_ = false;
        status_ = kStatusUnconnect;
        group_id_.clear();
        break;
      }
      status_ = kStatusUnconnect;
      joined_ = false;
      if (leave_pending_) {
        leave_pending_ = false;
        PostLocked([g = leaving_group_](ISessionListener& l) { l.OnLeaveGroupResult(kResultOk, g); });
      }
      PostLocked([](ISessionListener& l) { l.OnReconnectStart(); });
      reconnecting = true;
      window_end = Clock::now() + std::chrono::milliseconds(options_.reconnect_window_ms);
      continue;
    }
    DropSocket();
    std::unique_lock<std::mutex> lock(mutex_);
    if (!Current(gen)) break;
    if (!reconnecting) {
      PostLocked([code, detail](ISessionListener& l) { l.OnLoginResult(code, detail); });
      active_ = false;
      status_ = kStatusUnconnect;
      break;
    }
    const auto next = Clock::now() + std::chrono::milliseconds(backoff);
    if (IsFinal(code) || next > window_end) {
      const int reported = IsFinal(code) ? code : static_cast<int>(kResultConnectFailed);
      PostLocked([reported, conflict](ISessionListener& l) { l.OnReconnectFail(reported, conflict); });
      active_ = false;
      status_ = kStatusUnconnect;
      group_id_.clear();
      break;
    }
    status_ = kStatusUnconnect;
    cv_.wait_until(lock, next, [&] { return !Current(gen); });
    if (!Current(gen)) break;
    backoff = std::min(backoff * 2, options_.reconnect_backoff_max_ms);
  }
}

int ClientSession::Establish(uint64_t gen, const LoginParams& params, IHttpGetter* http, bool reconnect,
                             std::shared_ptr<IStreamSocket>* sock_out, std::string* conflict_device,
                             std::string* detail) {
  SetStatus(gen, kStatusAddrQuerying);
  HostPort server;
  if (!SplitHostPort(params.server, &server)) return kResultInvalidArgument;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!Current(gen)) return kResultConnectFailed;
  }
  const std::string reply = http->Get(BuildAddressQueryUrl(server, params.app_id, params.user_id));
  int code = 0;
  HostPort address;
  if (!ParseAddressReply(reply, &code, &address)) {
    *detail = reply.empty() ? "address query failed" : "address query answered no address";
    return kResultConnectFailed;
  }
  if (code != kResultOk) {
    *detail = "address query refused";
    return code;
  }

  std::shared_ptr<IStreamSocket> sock(sockets_.Create());
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!Current(gen)) return kResultConnectFailed;
    socket_ = sock;  // from here Logout can shut it down
  }
  if (!sock->Connect(address.host, address.port, options_.connect_timeout_ms)) {
    *detail = "cannot connect to " + address.host + ":" + std::to_string(address.port);
    return kResultConnectFailed;
  }
  SetStatus(gen, kStatusConnected);
  LoginRequest req;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    req.seq = ++seq_;
  }
  req.app_id = params.app_id;
  req.token = params.token;
  req.device_id = params.device_id;
  req.user_id = params.user_id;
  req.platform = params.platform;
  req.extra = params.extra;
  req.force = params.force;
  req.reconnect = reconnect;
  decoder_ = FrameDecoder();
  if (SendPayload(EncodeLogin(req)) != kResultOk) return kResultConnectFailed;

  const auto deadline = Clock::now() + std::chrono::milliseconds(options_.login_timeout_ms);
  char buf[4096];
  for (;;) {
    std::string payload;
    const auto st = decoder_.Next(&payload);
    if (st == FrameDecoder::Status::kBadLength) return kResultConnectFailed;
    if (st == FrameDecoder::Status::kFrame) {
      Message msg;
      LoginResult result;
      if (ParseMessage(payload, &msg) == ParseError::kNone && DecodeLoginResult(msg, &result) &&
          result.seq == req.seq) {
        *conflict_device = result.device_id;
        *detail = result.detail;
        if (result.code == kResultOk) *sock_out = sock;
        return result.code;
      }
      continue;  // nothing else is expected before the answer
    }
    const int left = MsUntil(deadline);
    if (left <= 0) {
      *detail = "no answer to the login";
      return kResultConnectFailed;
    }
    const int n = sock->Recv(buf, sizeof buf, left);
    if (n == IStreamSocket::kRecvTimeout) continue;
    if (n <= 0) {
      *detail = "connection closed during the login";
      return kResultConnectFailed;
    }
    decoder_.Feed(buf, static_cast<size_t>(n));
  }
}

bool ClientSession::ReadLoop(uint64_t gen, IStreamSocket& sock) {
  auto last_recv = Clock::now();
  char buf[16384];
  for (;;) {
    std::string payload;
    for (;;) {
      const auto st = decoder_.Next(&payload);
      if (st == FrameDecoder::Status::kBadLength) return false;
      if (st == FrameDecoder::Status::kNeedMore) break;
      bool logouted = false;
      HandleFrame(gen, payload, &logouted);
      if (logouted) return true;
    }
    Clock::time_point last_send;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!Current(gen)) return false;
    }
    {
      std::lock_guard<std::mutex> send(send_mutex_);
      last_send = last_send_;
    }
    const auto heartbeat = std::chrono::milliseconds(options_.heartbeat_ms);
    const auto idle = std::chrono::milliseconds(options_.idle_timeout_ms);
    if (Clock::now() >= last_send + heartbeat) {
      if (SendPayload(EncodePing()) != kResultOk) return false;
      last_send = Clock::now();
    }
    if (Clock::now() >= last_recv + idle) return false;
    const int wait = std::max(1, std::min(MsUntil(last_send + heartbeat), MsUntil(last_recv + idle)));
    const int n = sock.Recv(buf, sizeof buf, wait);
    if (n == IStreamSocket::kRecvTimeout) continue;
    if (n <= 0) return false;
    last_recv = Clock::now();
    decoder_.Feed(buf, static_cast<size_t>(n));
  }
}

void ClientSession::HandleFrame(uint64_t gen, const std::string& payload, bool* logouted) {
  auto msg = std::make_shared<Message>();
  if (ParseMessage(payload, msg.get()) != ParseError::kNone) return;
  std::unique_lock<std::mutex> lock(mutex_);
  // A listener slower than the network holds the reader here, not an ever longer queue.
  AwaitRoomLocked(lock, gen, payload.size());
  if (!Current(gen)) return;
  auto post = [&](Event event) { PostLocked(std::move(event), payload.size()); };
  switch (msg->type) {
    case MsgType::kJoinResult: {
      JoinResult r;
      if (!DecodeJoinResult(*msg, &r)) return;
      const bool ours = !group_id_.empty() && r.group_id == group_id_;
      if (r.code == kResultOk) {
        if (ours) joined_ = true;
        // After a reconnection the group is joined again quietly.
        if (r.seq == rejoin_seq_ && join_reported_) return;
        if (ours) join_reported_ = true;
      } else if (ours) {
        group_id_.clear();
        joined_ = join_reported_ = false;
      }
      post([code = r.code, g = r.group_id](ISessionListener& l) { l.OnJoinGroupResult(code, g); });
      return;
    }
    case MsgType::kLeaveResult: {
      LeaveResult r;
      if (!DecodeLeaveResult(*msg, &r)) return;
      if (leave_pending_ && r.seq == leave_seq_) leave_pending_ = false;
      post([code = r.code, g = r.group_id](ISessionListener& l) { l.OnLeaveGroupResult(code, g); });
      return;
    }
    case MsgType::kMediaList: {
      auto list = std::make_shared<MediaList>();
      if (!DecodeMediaList(*msg, list.get())) return;
      if (group_id_.empty() || list->group_id != group_id_) return;  // an earlier group's
      post([list](ISessionListener& l) { l.OnGroupMediaList(list->users, list->media); });
      return;
    }
    case MsgType::kUserJoined:
    case MsgType::kUserLeft: {
      UserEvent e;
      if (!DecodeUserEvent(*msg, &e) || group_id_.empty()) return;
      if (msg->type == MsgType::kUserJoined) {
        post([e](ISessionListener& l) { l.OnRemoteUserJoined(e.user_id); });
      } else {
        post([e](ISessionListener& l) { l.OnRemoteUserLeft(e.user_id); });
      }
      return;
    }
    case MsgType::kLogouted: {
      Logouted e;
      if (!DecodeLogouted(*msg, &e)) return;
      *logouted = true;
      // The listener hears of it in the state it leaves: not connected, free to log in (a new
      // login joins this worker, which only drops its socket on the way out).
      active_ = false;
      status_ = kStatusUnconnect;
      group_id_.clear();
      const int reason = e.reason;
      post([reason](ISessionListener& l) { l.OnLogouted(reason); });
      return;
    }
    case MsgType::kBusiness: {
      std::string business;
      int id = 0;
      const rapidjson::Value* body = BusinessBody(*msg, &business, &id);
      if (body == nullptr) return;
      post([msg, business, id, body](ISessionListener& l) { l.OnBusiness(business, id, *body); });
      return;
    }
    default:
      return;  // pong, errors and requests are not for the listener
  }
}

}  // namespace kiv_proto
