#include "server/businesses/text_message_business.h"

#include <set>

#include "protocol/messages/business_messages.h"
#include "protocol/wire/result_codes.h"

namespace kiv_server {

std::vector<std::string> TextMessageBusiness::Businesses() const { return {kiv_proto::kBusinessText}; }

void TextMessageBusiness::OnBusiness(ClientInfo& from, const std::string& /*business*/, int id,
                                     const rapidjson::Value& body) {
  kiv_proto::TextSend msg;
  if (!kiv_proto::DecodeTextSend(body, id, &msg)) {
    server_.SendError(from.id, kiv_proto::kResultInvalidArgument, "TMSG request malformed");
    return;
  }
  MeetingState& state = server_.State();
  kiv_proto::TextReceived out;
  out.from = from.user_id;
  out.text = msg.text;
  out.msg_id = msg.msg_id;
  std::vector<ClientId> to;
  if (msg.id == kiv_proto::kTextToUser) {
    to.push_back(state.FindUser(from.app_id, msg.to));
  } else if (msg.id == kiv_proto::kTextToUsers) {
    out.group = msg.as_group;
    std::set<ClientId> seen;
    for (const auto& user : msg.to_list) {
      const ClientId c = state.FindUser(from.app_id, user);
      if (seen.insert(c).second) to.push_back(c);
    }
  } else {
    Group* group = state.GroupOf(from);
    if (group == nullptr) {
      server_.SendError(from.id, kiv_proto::kResultWrongState, "TMSG: sender is in no group");
      return;
    }
    to = group->members;
    out.group = true;
  }
  const rapidjson::Document delivered = kiv_proto::EncodeTextReceived(out);
  for (ClientId c : to) {
    if (c != 0 && c != from.id) server_.SendBusiness(c, delivered);
  }
}

}  // namespace kiv_server
