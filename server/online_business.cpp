#include "server/online_business.h"

#include "protocol/business_messages.h"
#include "protocol/result_codes.h"

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
  kiv_proto::OnlineQuery query;
  if (id != kiv_proto::kOnlineQuery || !kiv_proto::DecodeOnlineQuery(body, &query)) {
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

void OnlineBusiness::OnLogin(ClientInfo& client) { Notify(client, 1); }

void OnlineBusiness::OnLogout(ClientInfo& client) { Notify(client, 0); }

void OnlineBusiness::Notify(const ClientInfo& client, int status) {
  kiv_proto::OnlineState s = StateOf(client.user_id, &client);
  s.status = status;
  const rapidjson::Document notice = kiv_proto::EncodeOnlineNotify(s);
  for (ClientId c : server_.State().UsersOfApp(client.app_id)) {
    if (c != client.id) server_.SendBusiness(c, notice);
  }
}

}  // namespace kiv_server
