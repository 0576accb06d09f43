#include "server/text_message_business.h"

#include <set>

#include "protocol/ids.h"
#include "protocol/result_codes.h"
#include "protocol/wire_message.h"

namespace kiv_server {

void TextMessageBusiness::OnBusiness(ClientInfo& from, const std::string& /*business*/, int id,
                                     const rapidjson::Value& body) {
  auto refuse = [&](const char* why) {
    server_.SendError(from.id, kiv_proto::kResultInvalidArgument, std::string("TMSG: ") + why);
  };
  std::string text;
  uint32_t msg_id = 0;
  if (!kiv_proto::GetString(body, "text", &text) || text.size() > kMaxTextBytes) return refuse("no text");
  if (body.HasMember("msg_id") && !kiv_proto::GetUint(body, "msg_id", &msg_id)) return refuse("bad msg_id");

  MeetingState& state = server_.State();
  std::vector<ClientId> to;
  int out_id = kUserMessage;
  if (id == kToUser) {
    std::string user;
    if (!kiv_proto::GetString(body, "to", &user) || !kiv_proto::IsValidUserId(user)) return refuse("bad addressee");
    to.push_back(state.FindUser(from.app_id, user));
  } else if (id == kToUsers) {
    auto list = body.FindMember("to");
    if (list == body.MemberEnd() || !list->value.IsArray() || list->value.Size() > kMaxAddressees) {
      return refuse("bad addressee list");
    }
    std::set<ClientId> seen;
    for (const auto& u : list->value.GetArray()) {
      if (!u.IsString()) continue;
      const ClientId c = state.FindUser(from.app_id, std::string(u.GetString(), u.GetStringLength()));
      if (seen.insert(c).second) to.push_back(c);
    }
  } else if (id == kToGroup) {
    Group* group = state.GroupOf(from);
    if (group == nullptr) return refuse("sender is in no group");
    to = group->members;
    out_id = kGroupMessage;
  } else {
    return refuse("unknown command");
  }

  rapidjson::Document out(rapidjson::kObjectType);
  auto& a = out.GetAllocator();
  out.AddMember("business", "TMSG", a);
  out.AddMember("id", out_id, a);
  out.AddMember("from", rapidjson::Value(from.user_id.data(), static_cast<rapidjson::SizeType>(from.user_id.size()), a), a);
  out.AddMember("text", rapidjson::Value(text.data(), static_cast<rapidjson::SizeType>(text.size()), a), a);
  out.AddMember("msg_id", msg_id, a);
  for (ClientId c : to) {
    if (c != 0 && c != from.id) server_.SendBusiness(c, out);
  }
}

}  // namespace kiv_server
