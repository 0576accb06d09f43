#include "server/businesses/online_business.h"

#include <climits>
#include <iterator>

#include "protocol/messages/business_messages.h"
#include "protocol/wire/ids.h"
#include "protocol/wire/result_codes.h"

namespace kiv_server {
namespace {

kiv_proto::OnlineState StateOf(const std::string& user_id, const ClientInfo* client) {
  kiv_proto::OnlineState s;
  s.user_id = user_id;
  if (client != nullptr) {
    s.status = 1;
    s.device_id = client->device_id;
    s.platform = client->platform;
    s.group_id = client->group_id;
  }
  return s;
}

}  // namespace

std::vector<std::string> OnlineBusiness::Businesses() const { return {kiv_proto::kBusinessOnline}; }

void OnlineBusiness::OnBusiness(ClientInfo& from, const std::string& /*business*/, int id,
                                const rapidjson::Value& body) {
  switch (id) {
    case kiv_proto::kOnlineQuery:
      return Query(from, body);
    case kiv_proto::kInvite:
      return Invite(from, body);
    case kiv_proto::kInviteAccept:
    case kiv_proto::kInviteRefuse:
      return Answer(from, id, body);
    default:
      server_.SendError(from.id, kiv_proto::kResultInvalidArgument, "unknown ONLINE command");
  }
}

void OnlineBusiness::Query(ClientInfo& from, const rapidjson::Value& body) {
  kiv_proto::OnlineQuery query;
  if (!kiv_proto::DecodeOnlineQuery(body, &query)) {
    server_.SendError(from.id, kiv_proto::kResultInvalidArgument, "ONLINE request malformed");
    return;
  }
  MeetingState& state = server_.State();
  kiv_proto::OnlineResult result;
  result.req_id = query.req_id;
  result.all = query.users.empty();
  if (!query.users.empty()) {
    for (const auto& uid : query.users) {
      result.users.push_back(StateOf(uid, state.Client(state.FindUser(from.app_id, uid))));
    }
  } else {
    for (ClientId c : state.UsersOfApp(from.app_id)) {
      if (const ClientInfo* info = state.Client(c)) result.users.push_back(StateOf(info->user_id, info));
    }
  }
  server_.SendBusiness(from.id, kiv_proto::EncodeOnlineResult(result));
}

void OnlineBusiness::Invite(ClientInfo& from, const rapidjson::Value& body) {
  kiv_proto::InviteRequest req;
  if (!kiv_proto::DecodeInviteRequest(body, &req) || req.users.empty() || !kiv_proto::IsValidGroupId(req.group_id)) {
    server_.SendError(from.id, kiv_proto::kResultInvalidArgument, "ONLINE invitation malformed");
    return;
  }
  MeetingState& state = server_.State();
  const int32_t id = next_invite_;
  next_invite_ = next_invite_ == INT32_MAX ? 1 : next_invite_ + 1;
  PendingInvite pending{from.app_id, from.user_id, from.id, {}};
  const rapidjson::Document notice = kiv_proto::EncodeInviteNotice({from.user_id, id, req.group_id, req.message});
  for (const auto& user : req.users) {
    const ClientId to = state.FindUser(from.app_id, user);
    if (to == 0 || to == from.id || !pending.invitees.insert(user).second) continue;
    server_.SendBusiness(to, notice);
  }
  if (pending.invitees.empty()) return;
  if (invites_.size() >= kMaxPendingInvites) invites_.erase(invites_.begin());
  invites_[id] = std::move(pending);
}

void OnlineBusiness::Answer(ClientInfo& from, int id, const rapidjson::Value& body) {
  kiv_proto::InviteReply reply;
  auto it = invites_.end();
  if (kiv_proto::DecodeInviteReply(body, &reply)) it = invites_.find(reply.invite_id);
  if (it == invites_.end() || it->second.app_id != from.app_id || it->second.inviter != reply.inviter ||
      it->second.invitees.erase(from.user_id) == 0) {
    server_.SendError(from.id, kiv_proto::kResultInvalidArgument, "ONLINE answer to no invitation of this user");
    return;
  }
  const bool accepted = id == kiv_proto::kInviteAccept;
  const ClientInfo* inviter = server_.State().Client(it->second.inviter_client);
  if (inviter != nullptr && inviter->logged_in && inviter->user_id == it->second.inviter) {
    server_.SendBusiness(
        inviter->id, kiv_proto::EncodeInviteOutcome(accepted ? kiv_proto::kInviteAccepted : kiv_proto::kInviteRefused,
                                                    {from.user_id, reply.invite_id, reply.extra, 0}));
  }
  if (it->second.invitees.empty()) invites_.erase(it);
}

void OnlineBusiness::OnLogin(ClientInfo& client) { Notify(client, 1); }

void OnlineBusiness::OnLogout(ClientInfo& client) {
  Notify(client, 0);
  MeetingState& state = server_.State();
  for (auto it = invites_.begin(); it != invites_.end();) {
    PendingInvite& p = it->second;
    if (p.inviter_client == client.id) {
      const rapidjson::Document cancel =
          kiv_proto::EncodeInviteReply(kiv_proto::kInviteCanceled, {p.inviter, it->first, ""});
      for (const auto& user : p.invitees) {
        if (const ClientId to = state.FindUser(p.app_id, user)) server_.SendBusiness(to, cancel);
      }
      it = invites_.erase(it);
      continue;
    }
    if (p.app_id == client.app_id) p.invitees.erase(client.user_id);
    it = p.invitees.empty() ? invites_.erase(it) : std::next(it);
  }
}

void OnlineBusiness::Notify(const ClientInfo& client, int status) {
  kiv_proto::OnlineState s = StateOf(client.user_id, &client);
  s.status = status;
  const rapidjson::Document notice = kiv_proto::EncodeOnlineNotify(s);
  for (ClientId c : server_.State().UsersOfApp(client.app_id)) {
    if (c != client.id) server_.SendBusiness(c, notice);
  }
}

}  // namespace kiv_server
