#include "server/online_business.h"

#include "protocol/ids.h"
#include "protocol/result_codes.h"
#include "protocol/wire_message.h"

namespace kiv_server {
namespace {

using Allocator = rapidjson::Document::AllocatorType;

rapidjson::Value Str(const std::string& s, Allocator& a) {
  return rapidjson::Value(s.data(), static_cast<rapidjson::SizeType>(s.size()), a);
}

// {"user_id","status","platform","group_id"}; client null: offline.
rapidjson::Value Entry(const std::string& user_id, const ClientInfo* client, Allocator& a) {
  rapidjson::Value e(rapidjson::kObjectType);
  e.AddMember("user_id", Str(user_id, a), a);
  e.AddMember("status", client != nullptr ? 1 : 0, a);
  e.AddMember("platform", Str(client != nullptr ? client->platform : std::string(), a), a);
  e.AddMember("group_id", Str(client != nullptr ? client->group_id : std::string(), a), a);
  return e;
}

}  // namespace

void OnlineBusiness::OnBusiness(ClientInfo& from, const std::string& /*business*/, int id,
                                const rapidjson::Value& body) {
  uint32_t req_id = 0;
  if (id != kStatusQuery || !kiv_proto::GetUint(body, "req_id", &req_id)) {
    server_.SendError(from.id, kiv_proto::kResultInvalidArgument, "ONLINE request malformed");
    return;
  }
  MeetingState& state = server_.State();
  rapidjson::Document out(rapidjson::kObjectType);
  auto& a = out.GetAllocator();
  out.AddMember("business", "ONLINE", a);
  out.AddMember("id", kStatusResult, a);
  out.AddMember("req_id", req_id, a);
  out.AddMember("result", 0, a);
  rapidjson::Value users(rapidjson::kArrayType);
  auto asked = body.FindMember("users");
  if (asked != body.MemberEnd() && !asked->value.IsArray()) {
    server_.SendError(from.id, kiv_proto::kResultInvalidArgument, "ONLINE users is not a list");
    return;
  }
  if (asked != body.MemberEnd() && !asked->value.Empty()) {
    if (asked->value.Size() > kMaxQueryUsers) {
      server_.SendError(from.id, kiv_proto::kResultInvalidArgument, "ONLINE list too long");
      return;
    }
    for (const auto& u : asked->value.GetArray()) {
      if (!u.IsString()) continue;
      const std::string uid(u.GetString(), u.GetStringLength());
      if (!kiv_proto::IsValidUserId(uid)) continue;
      users.PushBack(Entry(uid, state.Client(state.FindUser(from.app_id, uid)), a), a);
    }
  } else {
    for (ClientId c : state.UsersOfApp(from.app_id)) {
      if (const ClientInfo* info = state.Client(c)) users.PushBack(Entry(info->user_id, info, a), a);
    }
  }
  out.AddMember("users", users, a);
  server_.SendBusiness(from.id, out);
}

void OnlineBusiness::OnLogin(ClientInfo& client) { Notify(client, 1); }

void OnlineBusiness::OnLogout(ClientInfo& client) { Notify(client, 0); }

void OnlineBusiness::Notify(const ClientInfo& client, int status) {
  rapidjson::Document out(rapidjson::kObjectType);
  auto& a = out.GetAllocator();
  out.AddMember("business", "ONLINE", a);
  out.AddMember("id", kStatusNotify, a);
  out.AddMember("user_id", Str(client.user_id, a), a);
  out.AddMember("status", status, a);
  out.AddMember("platform", Str(client.platform, a), a);
  out.AddMember("group_id", Str(client.group_id, a), a);
  MeetingState& state = server_.State();
  for (ClientId c : state.UsersOfApp(client.app_id)) {
    if (c != client.id) server_.SendBusiness(c, out);
  }
}

}  // namespace kiv_server
