#include "connection_core.h"

#include "framework_log.h"
#include "protocol/media/media_messages.h"
#include "protocol/messages/business_messages.h"
#include "protocol/messages/tspd_messages.h"

namespace tessarine {

ConnectionCore::ConnectionCore()
    : sockets_(std::make_unique<WinsockSocketFactory>()),
      session_(std::make_unique<kiv_proto::ClientSession>(*sockets_)),
      tspd_(std::make_shared<TspdChannel>([this](const rapidjson::Value& body) { return SendBusiness(body); })) {
  session_->SetListener(this);
}

ConnectionCore::~ConnectionCore() { Shutdown(); }

void ConnectionCore::Shutdown() {
  std::unique_ptr<kiv_proto::ClientSession> session;
  std::unique_ptr<SdkHttpGetter> http;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    session = std::move(session_);
    http = std::move(http_);
  }
  tspd_->StopAll();
  // Outside the lock: a callback in progress may still make a request (which is refused).
  if (session) {
    session->Logout();
    session.reset();  // joins the session's threads
  }
}

int ConnectionCore::Login(kiv_proto::LoginParams params, avcore::IKivHttpClient* http) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!session_ || !sockets_->started()) return -1;
  auto getter = std::make_unique<SdkHttpGetter>(http);
  const std::string user = params.user_id;
  const int code = session_->Login(params, getter.get());
  if (code == kiv_proto::kResultOk) {
    // The previous login's worker has ended inside Login, so its getter may go.
    http_ = std::move(getter);
    user_id_ = user;
    const size_t colon = params.server.rfind(':');
    server_host_ = params.server.substr(0, colon);
  }
  return code;
}

std::string ConnectionCore::ServerHost() {
  std::lock_guard<std::mutex> lock(mutex_);
  return server_host_;
}

void ConnectionCore::SetMediaHandler(MediaHandler handler) {
  std::lock_guard<std::mutex> lock(media_mutex_);
  media_handler_ = std::move(handler);
  // Not logged in yet: refused here, asked again at the login.
  if (media_handler_) (void)SendBusiness(kiv_media::EncodeTicketRequest());
}

void ConnectionCore::RequestMediaTicket() {
  std::lock_guard<std::mutex> lock(media_mutex_);
  if (media_handler_) (void)SendBusiness(kiv_media::EncodeTicketRequest());
}

void ConnectionCore::OnMediaMessage(int id, const rapidjson::Value& body) {
  std::lock_guard<std::mutex> lock(media_mutex_);
  if (media_handler_) media_handler_(id, body);
}

int ConnectionCore::Logout() {
  std::lock_guard<std::mutex> lock(mutex_);
  return session_ ? session_->Logout() : -1;
}

int ConnectionCore::JoinGroup(const std::string& group_id) {
  std::lock_guard<std::mutex> lock(mutex_);
  return session_ ? session_->JoinGroup(group_id) : -1;
}

int ConnectionCore::LeaveGroup() {
  std::lock_guard<std::mutex> lock(mutex_);
  return session_ ? session_->LeaveGroup() : -1;
}

int ConnectionCore::SendBusiness(const rapidjson::Value& body) {
  std::lock_guard<std::mutex> lock(mutex_);
  return session_ ? session_->SendBusiness(body) : -1;
}

int ConnectionCore::Status() {
  std::lock_guard<std::mutex> lock(mutex_);
  return session_ ? static_cast<int>(session_->Status()) : static_cast<int>(avcore::CPSTATUS_UNCONNECT);
}

void ConnectionCore::OnLoginResult(int code, const std::string& detail) {
  std::string user;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    user = user_id_;
  }
  FW_LOG("connection: login result %d %s", code, detail.c_str());
  if (code == kiv_proto::kResultOk) RequestMediaTicket();
  listeners_.ForEach([&](avcore::IKivConnectionListener* l) { l->OnLoginResult(code, user.c_str(), detail.c_str()); });
}

void ConnectionCore::OnJoinGroupResult(int code, const std::string& group_id) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (code == kiv_proto::kResultOk) group_id_ = group_id;
  }
  FW_LOG("connection: join result %d %s", code, group_id.c_str());
  listeners_.ForEach([&](avcore::IKivConnectionListener* l) { l->OnJoinGroupResult(code, group_id.c_str()); });
}

void ConnectionCore::OnLeaveGroupResult(int code, const std::string& group_id) {
  FW_LOG("connection: leave result %d %s", code, group_id.c_str());
  listeners_.ForEach([&](avcore::IKivConnectionListener* l) { l->OnLeaveGroupResult(code, group_id.c_str()); });
}

void ConnectionCore::OnLogouted(int reason) {
  FW_LOG("connection: logged out by the server (%d)", reason);
  listeners_.ForEach([&](avcore::IKivConnectionListener* l) { l->OnLogouted(reason); });
}

void ConnectionCore::OnReconnectStart() {
  FW_LOG("connection: link lost, reconnecting");
  listeners_.ForEach([&](avcore::IKivConnectionListener* l) { (void)l->OnReconnectStart(); });
}

void ConnectionCore::OnReconnectSuccess() {
  FW_LOG("connection: reconnected");
  RequestMediaTicket();
  tspd_->OnReconnected();
  listeners_.ForEach([&](avcore::IKivConnectionListener* l) { l->OnReconnectSucess(); });
}

void ConnectionCore::OnReconnectFail(int code, const std::string& conflict_device_id) {
  FW_LOG("connection: reconnection failed %d %s", code, conflict_device_id.c_str());
  const char* device = conflict_device_id.empty() ? nullptr : conflict_device_id.c_str();
  listeners_.ForEach([&](avcore::IKivConnectionListener* l) { l->OnReconnectFail(code, device); });
}

void ConnectionCore::OnRemoteUserJoined(const std::string& user_id) {
  listeners_.ForEach([&](avcore::IKivConnectionListener* l) { l->OnRemoteUserJoined(user_id.c_str()); });
}

void ConnectionCore::OnRemoteUserLeft(const std::string& user_id) {
  listeners_.ForEach([&](avcore::IKivConnectionListener* l) { l->OnRemoteUserLeft(user_id.c_str()); });
}

void ConnectionCore::OnGroupMediaList(const std::vector<std::string>& users,
                                      const std::vector<kiv_proto::MediaEntry>& media) {
  avcore::FwVector<avcore::FwString> user_list;
  for (const auto& u : users) user_list.push_back(avcore::FwString(u.data(), u.size()));
  avcore::FwVector<avcore::GroupMediaEntry> media_list;
  for (const auto& m : media) {
    avcore::GroupMediaEntry e{avcore::FwString(m.user_id.data(), m.user_id.size()), m.media_type,
                              avcore::FwString(m.media_id.data(), m.media_id.size()),
                              avcore::FwString(m.media_name.data(), m.media_name.size()),
                              avcore::FwString(m.media_owner.data(), m.media_owner.size())};
    media_list.push_back(e);
  }
  std::string group;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    group = group_id_;
  }
  listeners_.ForEach(
      [&](avcore::IKivConnectionListener* l) { l->OnGroupMediaList(&user_list, &media_list, group.c_str()); });
}

void ConnectionCore::OnBusiness(const std::string& business, int id, const rapidjson::Value& body) {
  if (business == kiv_proto::kBusinessOnline) return OnOnlineMessage(id, body);
  if (business == kiv_proto::kBusinessText) return OnTextMessage(id, body);
  if (business == kiv_media::kBusinessMedia) return OnMediaMessage(id, body);
  if (business == kiv_proto::kBusinessTspd) return tspd_->OnMessage(id, body);
  const bool taken = businesses_.Offer(
      [&](avcore::IKivBusinessBase* b) { return b->ProcessCpBusinessCmd(business.c_str(), id, body); });
  if (!taken) FW_LOG("connection: business message %s %d not handled", business.c_str(), id);
}

void ConnectionCore::OnOnlineMessage(int id, const rapidjson::Value& body) {
  if (id == kiv_proto::kOnlineResult) {
    kiv_proto::OnlineResult result;
    if (!kiv_proto::DecodeOnlineResult(body, &result)) return;
    avcore::FwVector<avcore::UserStatusEntry> entries;
    for (const auto& s : result.users) {
      avcore::UserStatusEntry entry{avcore::FwString(s.user_id.data(), s.user_id.size()), {}};
      if (s.status != 0) {
        entry.items.push_back(avcore::UserStatusItem{avcore::FwString(s.device_id.data(), s.device_id.size()), s.status,
                                                     avcore::FwString(s.platform.data(), s.platform.size()),
                                                     avcore::FwString(s.group_id.data(), s.group_id.size())});
      }
      entries.push_back(entry);
    }
    const int32_t total = result.all ? 0 : static_cast<int32_t>(result.users.size());
    online_listeners_.ForEach([&](avcore::IKivOnlineListener* l) {
      l->OnUserStatusResult(result.result, result.req_id, &entries, total, 0);
    });
  } else if (id == kiv_proto::kOnlineNotify) {
    kiv_proto::OnlineState s;
    if (!kiv_proto::DecodeOnlineNotify(body, &s)) return;
    const avcore::UserStatusItem item{avcore::FwString(s.device_id.data(), s.device_id.size()), s.status,
                                      avcore::FwString(s.platform.data(), s.platform.size()),
                                      avcore::FwString(s.group_id.data(), s.group_id.size())};
    online_listeners_.ForEach([&](avcore::IKivOnlineListener* l) { l->OnOnlineNotify(s.user_id.c_str(), &item); });
  } else if (id == kiv_proto::kInviteCome) {
    kiv_proto::InviteNotice n;
    if (!kiv_proto::DecodeInviteNotice(body, &n)) return;
    online_listeners_.ForEach([&](avcore::IKivOnlineListener* l) {
      l->OnInviteCome(n.inviter.c_str(), n.invite_id, n.group_id.c_str(), n.message.c_str());
    });
  } else if (id == kiv_proto::kInviteAccepted || id == kiv_proto::kInviteRefused) {
    kiv_proto::InviteOutcome o;
    if (!kiv_proto::DecodeInviteOutcome(body, &o)) return;
    online_listeners_.ForEach([&](avcore::IKivOnlineListener* l) {
      if (id == kiv_proto::kInviteAccepted) {
        l->OnInviteAccepted(o.user_id.c_str(), o.invite_id, o.extra.c_str());
      } else {
        l->OnInviteRefused(o.user_id.c_str(), o.invite_id, o.extra.c_str(), o.reason);
      }
    });
  } else if (id == kiv_proto::kInviteCanceled) {
    kiv_proto::InviteReply c;
    if (!kiv_proto::DecodeInviteReply(body, &c)) return;
    online_listeners_.ForEach(
        [&](avcore::IKivOnlineListener* l) { l->OnInviteCanceled(c.inviter.c_str(), c.invite_id, c.extra.c_str()); });
  }
}

void ConnectionCore::OnTextMessage(int id, const rapidjson::Value& body) {
  kiv_proto::TextReceived msg;
  if (!kiv_proto::DecodeTextReceived(body, id, &msg)) return;
  tmsg_listeners_.ForEach([&](avcore::IKivTMsgListener* l) {
    if (msg.group) {
      l->OnGroupMessage(msg.from.c_str(), msg.msg_id, msg.text.c_str());
    } else {
      l->OnUserMessage(msg.from.c_str(), msg.msg_id, msg.text.c_str());
    }
  });
}

}  // namespace tessarine
