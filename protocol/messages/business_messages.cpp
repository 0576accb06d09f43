#include "protocol/messages/business_messages.h"

#include "protocol/wire/wire_message.h"

namespace kiv_proto {
namespace {

using Allocator = rapidjson::Document::AllocatorType;

rapidjson::Value Str(const std::string& s, Allocator& a) {
  return rapidjson::Value(s.data(), static_cast<rapidjson::SizeType>(s.size()), a);
}

rapidjson::Document Start(const char* business, int id) {
  rapidjson::Document d(rapidjson::kObjectType);
  d.AddMember("business", rapidjson::StringRef(business), d.GetAllocator());
  d.AddMember("id", id, d.GetAllocator());
  return d;
}

rapidjson::Value StringList(const std::vector<std::string>& list, Allocator& a) {
  rapidjson::Value v(rapidjson::kArrayType);
  for (const auto& s : list) v.PushBack(Str(s, a), a);
  return v;
}

bool ReadStringList(const rapidjson::Value& body, const char* key, std::vector<std::string>* out) {
  out->clear();
  auto it = body.FindMember(key);
  if (it == body.MemberEnd()) return true;
  if (!it->value.IsArray() || it->value.Size() > kMaxListedUsers) return false;
  for (const auto& e : it->value.GetArray()) {
    if (!e.IsString() || e.GetStringLength() > kMaxFieldLength) return false;
    out->emplace_back(e.GetString(), e.GetStringLength());
  }
  return true;
}

bool ReadText(const rapidjson::Value& body, const char* key, size_t max, std::string* out) {
  return GetString(body, key, out) && out->size() <= max;
}

bool ReadOptText(const rapidjson::Value& body, const char* key, std::string* out) {
  out->clear();
  return !body.HasMember(key) || ReadText(body, key, kMaxFieldLength, out);
}

rapidjson::Value StateValue(const OnlineState& s, Allocator& a) {
  rapidjson::Value v(rapidjson::kObjectType);
  v.AddMember("user_id", Str(s.user_id, a), a);
  v.AddMember("status", s.status, a);
  v.AddMember("device_id", Str(s.device_id, a), a);
  v.AddMember("platform", Str(s.platform, a), a);
  v.AddMember("group_id", Str(s.group_id, a), a);
  return v;
}

bool ReadState(const rapidjson::Value& v, OnlineState* out) {
  return v.IsObject() && ReadText(v, "user_id", kMaxFieldLength, &out->user_id) && GetInt(v, "status", &out->status) &&
         ReadOptText(v, "device_id", &out->device_id) && ReadOptText(v, "platform", &out->platform) &&
         ReadOptText(v, "group_id", &out->group_id);
}

}  // namespace

rapidjson::Document EncodeOnlineQuery(const OnlineQuery& m) {
  rapidjson::Document d = Start(kBusinessOnline, kOnlineQuery);
  d.AddMember("req_id", m.req_id, d.GetAllocator());
  if (!m.users.empty()) d.AddMember("users", StringList(m.users, d.GetAllocator()), d.GetAllocator());
  return d;
}

rapidjson::Document EncodeOnlineResult(const OnlineResult& m) {
  rapidjson::Document d = Start(kBusinessOnline, kOnlineResult);
  auto& a = d.GetAllocator();
  d.AddMember("req_id", m.req_id, a);
  d.AddMember("result", m.result, a);
  d.AddMember("all", m.all, a);
  rapidjson::Value users(rapidjson::kArrayType);
  for (const auto& s : m.users) users.PushBack(StateValue(s, a), a);
  d.AddMember("users", users, a);
  return d;
}

rapidjson::Document EncodeOnlineNotify(const OnlineState& m) {
  rapidjson::Document d = Start(kBusinessOnline, kOnlineNotify);
  rapidjson::Value state = StateValue(m, d.GetAllocator());
  for (auto& member : state.GetObject()) {
    d.AddMember(member.name, member.value, d.GetAllocator());
  }
  return d;
}

rapidjson::Document EncodeInviteRequest(const InviteRequest& m) {
  rapidjson::Document d = Start(kBusinessOnline, kInvite);
  auto& a = d.GetAllocator();
  d.AddMember("req_id", m.req_id, a);
  d.AddMember("users", StringList(m.users, a), a);
  d.AddMember("group_id", Str(m.group_id, a), a);
  d.AddMember("message", Str(m.message, a), a);
  return d;
}

rapidjson::Document EncodeInviteNotice(const InviteNotice& m) {
  rapidjson::Document d = Start(kBusinessOnline, kInviteCome);
  auto& a = d.GetAllocator();
  d.AddMember("inviter", Str(m.inviter, a), a);
  d.AddMember("invite_id", m.invite_id, a);
  d.AddMember("group_id", Str(m.group_id, a), a);
  d.AddMember("message", Str(m.message, a), a);
  return d;
}

rapidjson::Document EncodeInviteReply(int id, const InviteReply& m) {
  rapidjson::Document d = Start(kBusinessOnline, id);
  auto& a = d.GetAllocator();
  d.AddMember("inviter", Str(m.inviter, a), a);
  d.AddMember("invite_id", m.invite_id, a);
  d.AddMember("extra", Str(m.extra, a), a);
  return d;
}

rapidjson::Document EncodeInviteOutcome(int id, const InviteOutcome& m) {
  rapidjson::Document d = Start(kBusinessOnline, id);
  auto& a = d.GetAllocator();
  d.AddMember("user_id", Str(m.user_id, a), a);
  d.AddMember("invite_id", m.invite_id, a);
  d.AddMember("extra", Str(m.extra, a), a);
  if (id == kInviteRefused) d.AddMember("reason", m.reason, a);
  return d;
}

rapidjson::Document EncodeTextSend(const TextSend& m) {
  rapidjson::Document d = Start(kBusinessText, m.id);
  auto& a = d.GetAllocator();
  if (m.id == kTextToUser) d.AddMember("to", Str(m.to, a), a);
  if (m.id == kTextToUsers) {
    d.AddMember("to", StringList(m.to_list, a), a);
    d.AddMember("as_group", m.as_group, a);
  }
  d.AddMember("text", Str(m.text, a), a);
  d.AddMember("msg_id", m.msg_id, a);
  return d;
}

rapidjson::Document EncodeTextReceived(const TextReceived& m) {
  rapidjson::Document d = Start(kBusinessText, m.group ? kTextGroupMessage : kTextUserMessage);
  auto& a = d.GetAllocator();
  d.AddMember("from", Str(m.from, a), a);
  d.AddMember("text", Str(m.text, a), a);
  d.AddMember("msg_id", m.msg_id, a);
  return d;
}

bool DecodeOnlineQuery(const rapidjson::Value& body, OnlineQuery* out) {
  *out = OnlineQuery{};
  return body.IsObject() && GetUint(body, "req_id", &out->req_id) && ReadStringList(body, "users", &out->users);
}

bool DecodeOnlineResult(const rapidjson::Value& body, OnlineResult* out) {
  *out = OnlineResult{};
  if (!body.IsObject() || !GetUint(body, "req_id", &out->req_id) || !GetInt(body, "result", &out->result)) {
    return false;
  }
  if (body.HasMember("all") && !GetBool(body, "all", &out->all)) return false;
  auto it = body.FindMember("users");
  if (it == body.MemberEnd()) return true;
  if (!it->value.IsArray() || it->value.Size() > kMaxListedUsers) return false;
  for (const auto& v : it->value.GetArray()) {
    OnlineState s;
    if (!ReadState(v, &s)) return false;
    out->users.push_back(std::move(s));
  }
  return true;
}

bool DecodeOnlineNotify(const rapidjson::Value& body, OnlineState* out) {
  *out = OnlineState{};
  return ReadState(body, out);
}

bool DecodeInviteRequest(const rapidjson::Value& body, InviteRequest* out) {
  *out = InviteRequest{};
  return body.IsObject() && GetUint(body, "req_id", &out->req_id) && body.HasMember("users") &&
         ReadStringList(body, "users", &out->users) && ReadText(body, "group_id", kMaxFieldLength, &out->group_id) &&
         (!body.HasMember("message") || ReadText(body, "message", kMaxTextBytes, &out->message));
}

bool DecodeInviteNotice(const rapidjson::Value& body, InviteNotice* out) {
  *out = InviteNotice{};
  return body.IsObject() && ReadText(body, "inviter", kMaxFieldLength, &out->inviter) &&
         GetInt(body, "invite_id", &out->invite_id) && ReadText(body, "group_id", kMaxFieldLength, &out->group_id) &&
         (!body.HasMember("message") || ReadText(body, "message", kMaxTextBytes, &out->message));
}

bool DecodeInviteReply(const rapidjson::Value& body, InviteReply* out) {
  *out = InviteReply{};
  return body.IsObject() && ReadText(body, "inviter", kMaxFieldLength, &out->inviter) &&
         GetInt(body, "invite_id", &out->invite_id) && ReadOptText(body, "extra", &out->extra);
}

bool DecodeInviteOutcome(const rapidjson::Value& body, InviteOutcome* out) {
  *out = InviteOutcome{};
  return body.IsObject() && ReadText(body, "user_id", kMaxFieldLength, &out->user_id) &&
         GetInt(body, "invite_id", &out->invite_id) && ReadOptText(body, "extra", &out->extra) &&
         (!body.HasMember("reason") || GetInt(body, "reason", &out->reason));
}

bool DecodeTextSend(const rapidjson::Value& body, int id, TextSend* out) {
  *out = TextSend{};
  out->id = id;
  if (!body.IsObject() || !ReadText(body, "text", kMaxTextBytes, &out->text)) return false;
  if (body.HasMember("msg_id") && !GetUint(body, "msg_id", &out->msg_id)) return false;
  switch (id) {
    case kTextToUser:
      return ReadText(body, "to", kMaxFieldLength, &out->to);
    case kTextToUsers:
      if (!body.HasMember("to") || !ReadStringList(body, "to", &out->to_list)) return false;
      return !body.HasMember("as_group") || GetBool(body, "as_group", &out->as_group);
    case kTextToGroup:
      return true;
    default:
      return false;
  }
}

bool DecodeTextReceived(const rapidjson::Value& body, int id, TextReceived* out) {
  *out = TextReceived{};
  if (id != kTextUserMessage && id != kTextGroupMessage) return false;
  out->group = id == kTextGroupMessage;
  return body.IsObject() && ReadText(body, "from", kMaxFieldLength, &out->from) &&
         ReadText(body, "text", kMaxTextBytes, &out->text) &&
         (!body.HasMember("msg_id") || GetUint(body, "msg_id", &out->msg_id));
}

}  // namespace kiv_proto
