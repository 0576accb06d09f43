#include "server/businesses/remote_input_business.h"

#include "protocol/messages/business_messages.h"
#include "protocol/wire/ids.h"
#include "protocol/wire/result_codes.h"
#include "protocol/wire/wire_message.h"

namespace kiv_server {

std::vector<std::string> RemoteInputBusiness::Businesses() const { return {kiv_proto::kBusinessRemoteInput}; }

void RemoteInputBusiness::OnBusiness(ClientInfo& from, const std::string& /*business*/, int id,
                                     const rapidjson::Value& body) {
  std::string dst;
  const auto events = body.FindMember("events");
  if (id != kiv_proto::kRemoteInput || !kiv_proto::GetString(body, "dst_user_id", &dst) ||
      !kiv_proto::IsValidUserId(dst) || events == body.MemberEnd() || !events->value.IsArray() ||
      events->value.Size() > kiv_proto::kMaxInputEvents) {
    server_.SendError(from.id, kiv_proto::kResultInvalidArgument, "RINPUT malformed");
    return;
  }
  MeetingState& state = server_.State();
  const ClientId to = state.FindUser(from.app_id, dst);
  const ClientInfo* sharer = state.Client(to);
  if (sharer == nullptr || from.group_id.empty() || sharer->group_id != from.group_id ||
      !grants_.MayControl(from.id, to)) {
    ++dropped_;
    return;
  }
  rapidjson::Document out(rapidjson::kObjectType);
  auto& a = out.GetAllocator();
  out.AddMember("business", rapidjson::StringRef(kiv_proto::kBusinessRemoteInput), a);
  out.AddMember("id", kiv_proto::kRemoteInputDelivered, a);
  out.AddMember("src_user_id", rapidjson::Value(from.user_id.c_str(), a), a);
  out.AddMember("events", rapidjson::Value(events->value, a), a);
  server_.SendBusiness(to, out);
}

void RemoteInputBusiness::OnMemberLeaving(ClientInfo& client, Group& /*group*/) { grants_.OnClientGone(client.id); }

void RemoteInputBusiness::OnLogout(ClientInfo& client) { grants_.OnClientGone(client.id); }

}  // namespace kiv_server
