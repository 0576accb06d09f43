#include "server/control/meeting_core.h"

#include <algorithm>

#include "protocol/wire/frame_codec.h"
#include "protocol/wire/ids.h"
#include "protocol/wire/result_codes.h"
#include "server/control/access_token.h"

namespace kiv_server {

using namespace kiv_proto;

namespace {

bool IsPersonalMedia(int media_type) { return media_type == 0 || media_type == 1 || media_type == 2; }

uint32_t SeqOf(const Message& msg) {
  uint32_t seq = 0;
  return GetUint(msg.doc, "seq", &seq) ? seq : 0;
}

}  // namespace

MeetingCore::MeetingCore(ServerConfig config, IClientOutbox& outbox, SecondsClock clock)
    : config_(std::move(config)), outbox_(outbox), clock_(std::move(clock)) {}

void MeetingCore::OnConnected(ClientId client) { state_.AddClient(client); }

void MeetingCore::OnDisconnected(ClientId client) { EndClient(client); }

void MeetingCore::OnPayload(ClientId id, const std::string& payload) {
  if (state_.Client(id) == nullptr) return;
  const ClientId outer = requester_;
  requester_ = id;
  OnRequest(id, payload);
  requester_ = outer;
}

void MeetingCore::OnRequest(ClientId id, const std::string& payload) {
  ClientInfo* client = state_.Client(id);
  Message msg;
  const ParseError err = ParseMessage(payload, &msg);
  if (err != ParseError::kNone) {
    SendError(id, kResultInvalidArgument, ParseErrorText(err));
    return;
  }
  switch (msg.type) {
    case MsgType::kLogin: {
      LoginRequest req;
      if (!DecodeLogin(msg, &req)) {
        Send(id, EncodeLoginResult(LoginResult{SeqOf(msg), kResultInvalidArgument, {}, "login malformed"}));
        return;
      }
      OnLogin(*client, req);
      return;
    }
    case MsgType::kLogout:
      EndClient(id);
      outbox_.Close(id);
      return;
    case MsgType::kJoin: {
      JoinRequest req;
      if (!DecodeJoin(msg, &req)) {
        Send(id, EncodeJoinResult(JoinResult{SeqOf(msg), kResultInvalidArgument, {}}));
        return;
      }
      OnJoin(*client, req);
      return;
    }
    case MsgType::kLeave: {
      SeqOnly req;
      if (!DecodeSeqOnly(msg, &req)) {
        Send(id, EncodeLeaveResult(LeaveResult{SeqOf(msg), kResultInvalidArgument, {}}));
        return;
      }
      OnLeave(*client, req.seq);
      return;
    }
    case MsgType::kPing:
      Send(id, EncodePong());
      return;
    case MsgType::kBusiness:
      OnBusinessMessage(*client, msg);
      return;
    default:
      SendError(id, kResultInvalidArgument, std::string("unexpected message ") + MsgTypeName(msg.type));
      return;
  }
}

void MeetingCore::OnLogin(ClientInfo& client, const LoginRequest& req) {
  auto answer = [&](int code, const std::string& detail, std::string device = {}) {
    Send(client.id, EncodeLoginResult(LoginResult{req.seq, code, std::move(device), detail}));
  };
  if (client.logged_in) return answer(kResultWrongState, "logged in already");
  if (req.proto != kProtocolVersion) return answer(kResultInvalidArgument, "protocol version not supported");
  if (!IsValidUserId(req.user_id) || !IsValidDeviceId(req.device_id)) {
    return answer(kResultInvalidArgument, "user id or device id invalid");
  }
  const std::string* secret = config_.SecretOf(req.app_id);
  if (secret == nullptr) return answer(kResultAppNotExist, "application unknown");
  const TokenCheck check = CheckAccessToken(req.token, *secret, req.app_id, req.user_id, clock_());
  if (check != TokenCheck::kOk) return answer(kResultAuthFailed, TokenCheckText(check));
  if (const ClientId holder = state_.FindUser(req.app_id, req.user_id)) {
    const ClientInfo* old = state_.Client(holder);
    const std::string old_device = old != nullptr ? old->device_id : std::string();
    const bool same_device = old_device == req.device_id;
    // A session resuming from the same device replaces a link the server still
    // believes alive. A fresh login with `force` takes the login over from another
    // device (that one is logged out); a second login from the same device, or any
    // other, is refused while the login stands.
    const bool replace = req.reconnect ? same_device : (req.force && !same_device);
    if (!replace) return answer(kResultUserAlreadyLogined, "user logged in on another connection", old_device);
    Send(holder, EncodeLogouted(Logouted{kResultUserAlreadyLogined}));
    EndClient(holder);
    outbox_.Close(holder);
  }
  client.logged_in = true;
  client.app_id = req.app_id;
  client.user_id = req.user_id;
  client.device_id = req.device_id;
  client.platform = req.platform;
  state_.IndexUser(client);
  outbox_.Admit(client.id);
  answer(kResultOk, std::string());
  for (const auto& m : router_.modules()) m->OnLogin(client);
}

void MeetingCore::OnJoin(ClientInfo& client, const JoinRequest& req) {
  auto answer = [&](int code) { Send(client.id, EncodeJoinResult(JoinResult{req.seq, code, req.group_id})); };
  if (!client.logged_in) return answer(kResultNotLoggedIn);
  if (!IsValidGroupId(req.group_id)) return answer(kResultInvalidArgument);
  if (!client.group_id.empty()) {
    if (client.group_id != req.group_id) return answer(kResultWrongState);
    answer(kResultOk);  // joined already: the list again, nobody else is told
    if (Group* g = state_.GroupOf(client)) SendMediaList(client, *g);
    return;
  }
  Group& group = state_.EnsureGroup(client.app_id, req.group_id);
  group.members.push_back(client.id);
  client.group_id = req.group_id;
  answer(kResultOk);
  SendMediaList(client, group);
  const std::string notice = EncodeUserJoined(UserEvent{client.user_id});
  for (ClientId m : group.members) {
    if (m != client.id) Send(m, notice);
  }
}

void MeetingCore::OnLeave(ClientInfo& client, uint32_t seq) {
  const std::string group = client.group_id;
  int code = kResultOk;
  if (!client.logged_in) {
    code = kResultNotLoggedIn;
  } else if (client.group_id.empty()) {
    code = kResultWrongState;
  } else {
    LeaveGroup(client);
  }
  Send(client.id, EncodeLeaveResult(LeaveResult{seq, code, group}));
}

void MeetingCore::SendMediaList(ClientInfo& client, Group& group) {
  MediaList list;
  list.group_id = group.group_id;
  for (ClientId m : group.members) {
    if (const ClientInfo* c = state_.Client(m)) list.users.push_back(c->user_id);
  }
  for (const auto& p : group.media) {
    // A client's own audio, video and screen share would be received back.
    if (p.user_id == client.user_id && IsPersonalMedia(p.media_type)) continue;
    list.media.push_back(MediaEntry{p.user_id, p.media_type, p.media_id, p.media_name, p.media_owner});
  }
  Send(client.id, EncodeMediaList(list));
}

void MeetingCore::LeaveGroup(ClientInfo& client) {
  Group* group = state_.GroupOf(client);
  if (group == nullptr) {
    client.group_id.clear();
    return;
  }
  for (const auto& m : router_.modules()) m->OnMemberLeaving(client, *group);
  // A member's own media leave with it; boards belong to the group.
  auto& media = group->media;
  media.erase(std::remove_if(media.begin(), media.end(),
                             [&](const PublishedMedia& p) {
                               return p.user_id == client.user_id && p.media_type != kBoardMediaType;
                             }),
              media.end());
  auto& members = group->members;
  members.erase(std::remove(members.begin(), members.end(), client.id), members.end());
  const std::string notice = EncodeUserLeft(UserEvent{client.user_id});
  for (ClientId m : members) Send(m, notice);
  if (members.empty()) {
    for (const auto& m : router_.modules()) m->OnGroupEnded(*group);
    state_.RemoveGroup(group->app_id, group->group_id);
  }
  client.group_id.clear();
}

void MeetingCore::EndClient(ClientId id) {
  ClientInfo* client = state_.Client(id);
  if (client == nullptr) return;
  if (client->logged_in) {
    LeaveGroup(*client);
    for (const auto& m : router_.modules()) m->OnLogout(*client);
    state_.UnindexUser(*client);
  }
  state_.RemoveClient(id);
}

void MeetingCore::OnBusinessMessage(ClientInfo& client, const Message& msg) {
  if (!client.logged_in) {
    SendError(client.id, kResultNotLoggedIn, "business message before login");
    return;
  }
  std::string business;
  int id = 0;
  const rapidjson::Value* body = BusinessBody(msg, &business, &id);
  if (body == nullptr) {
    SendError(client.id, kResultInvalidArgument, "business message without business name and id");
    return;
  }
  IBusinessModule* module = router_.Find(business);
  if (module == nullptr) {
    SendError(client.id, kResultInvalidArgument, "unknown business " + business);
    return;
  }
  module->OnBusiness(client, business, id, *body);
}

void MeetingCore::Send(ClientId client, std::string payload) {
  if (payload.size() > kMaxFramePayload) {
    // The peer would fail on the frame, reconnect and likely be sent the same again. The
    // member whose request caused it is logged (the addressee when none).
    if (ClientInfo* c = state_.Client(requester_ != 0 ? requester_ : client)) {
      LogLimit(*c, "frame size", "a message of " + std::to_string(payload.size()) + " bytes was not sent");
    }
    return;
  }
  outbox_.Send(client, std::move(payload));
}

void MeetingCore::Log(const std::string& line) {
  if (log_) return log_(line);
  IServerContext::Log(line);
}

void MeetingCore::SendBusiness(ClientId client, const rapidjson::Value& body) {
  std::string payload = EncodeBusiness(body);
  if (payload.empty()) {
    // A value JSON cannot carry: nothing is sent (an empty frame would break the peer's
    // connection), and the member whose request caused it is logged (the addressee when none).
    if (ClientInfo* c = state_.Client(requester_ != 0 ? requester_ : client)) {
      LogLimit(*c, "message encoding", "a business message that cannot be written as JSON was not sent");
    }
    return;
  }
  Send(client, std::move(payload));
}

void MeetingCore::SendError(ClientId client, int code, const std::string& detail) {
  Send(client, EncodeError(ErrorReply{code, detail}));
}

}  // namespace kiv_server
