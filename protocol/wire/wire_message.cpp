#include "protocol/wire/wire_message.h"

#include <cmath>

#include <rapidjson/error/en.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "common/text/utf8.h"
#include "protocol/wire/frame_codec.h"
#include "protocol/wire/json_depth.h"
#include "protocol/wire/json_values.h"

namespace kiv_proto {
namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

struct TypeName {
  MsgType type;
  const char* name;
};

constexpr TypeName kTypeNames[] = {
    {MsgType::kLogin, "login"},
    {MsgType::kLoginResult, "login_result"},
    {MsgType::kLogout, "logout"},
    {MsgType::kLogouted, "logouted"},
    {MsgType::kJoin, "join"},
    {MsgType::kJoinResult, "join_result"},
    {MsgType::kLeave, "leave"},
    {MsgType::kLeaveResult, "leave_result"},
    {MsgType::kMediaList, "media_list"},
    {MsgType::kUserJoined, "user_joined"},
    {MsgType::kUserLeft, "user_left"},
    {MsgType::kPing, "ping"},
    {MsgType::kPong, "pong"},
    {MsgType::kBusiness, "biz"},
    {MsgType::kError, "error"},
};

void Key(Writer& w, const char* key) { w.Key(key); }

void Str(Writer& w, const char* key, const std::string& value) {
  w.Key(key);
  w.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
}

void Int(Writer& w, const char* key, int value) {
  w.Key(key);
  w.Int(value);
}

void Uint(Writer& w, const char* key, uint32_t value) {
  w.Key(key);
  w.Uint(value);
}

void Bool(Writer& w, const char* key, bool value) {
  w.Key(key);
  w.Bool(value);
}

class Builder {
 public:
  explicit Builder(MsgType type) : w_(buf_) {
    w_.StartObject();
    w_.Key("type");
    w_.String(MsgTypeName(type));
  }
  Writer& w() { return w_; }
  std::string Finish() {
    w_.EndObject();
    return std::string(buf_.GetString(), buf_.GetSize());
  }

 private:
  rapidjson::StringBuffer buf_;
  Writer w_;
};

// Logout and leave carry only their sequence number.
std::string EncodeSeq(MsgType type, uint32_t seq) {
  Builder b(type);
  Uint(b.w(), "seq", seq);
  return b.Finish();
}

// Join and leave results: sequence number, result code and group.
std::string EncodeGroupResult(MsgType type, uint32_t seq, int code, const std::string& group_id) {
  Builder b(type);
  Uint(b.w(), "seq", seq);
  Int(b.w(), "code", code);
  Str(b.w(), "group_id", group_id);
  return b.Finish();
}

// The member `key` of the object `obj`; null when obj is no object or has no such member.
const rapidjson::Value* MemberOf(const rapidjson::Value& obj, const char* key) {
  if (!obj.IsObject()) return nullptr;
  auto it = obj.FindMember(key);
  return it == obj.MemberEnd() ? nullptr : &it->value;
}

bool ReadString(const rapidjson::Value& obj, const char* key, std::string* out) {
  auto it = obj.FindMember(key);
  if (it == obj.MemberEnd() || !it->value.IsString()) return false;
  if (it->value.GetStringLength() > kMaxFieldLength) return false;
  out->assign(it->value.GetString(), it->value.GetStringLength());
  return true;
}

bool ReadOptString(const rapidjson::Value& obj, const char* key, std::string* out) {
  if (!obj.HasMember(key)) {
    out->clear();
    return true;
  }
  return ReadString(obj, key, out);
}

bool ReadSeq(const rapidjson::Value& obj, uint32_t* seq) { return GetUint(obj, "seq", seq); }

bool ReadGroupResult(const rapidjson::Value& obj, uint32_t* seq, int* code, std::string* group_id) {
  return ReadSeq(obj, seq) && GetInt(obj, "code", code) && ReadOptString(obj, "group_id", group_id);
}

bool IsType(const Message& msg, MsgType type) { return msg.type == type && msg.doc.IsObject(); }

}  // namespace

const char* MsgTypeName(MsgType type) {
  for (const auto& t : kTypeNames) {
    if (t.type == type) return t.name;
  }
  return "error";
}

bool MsgTypeFromName(std::string_view name, MsgType* type) {
  for (const auto& t : kTypeNames) {
    if (name == t.name) {
      *type = t.type;
      return true;
    }
  }
  return false;
}

const char* ParseErrorText(ParseError error) {
  switch (error) {
    case ParseError::kNone:
      return "ok";
    case ParseError::kTooLarge:
      return "message too large";
    case ParseError::kTooDeep:
      return "message nested too deeply";
    case ParseError::kBadJson:
      return "message is not valid JSON";
    case ParseError::kNotObject:
      return "message is not a JSON object";
    case ParseError::kNoType:
      return "message has no type";
    case ParseError::kUnknownType:
      return "message type unknown";
  }
  return "unknown error";
}

ParseError ParseMessage(std::string_view payload, Message* out) {
  out->type = MsgType::kError;
  out->doc.SetNull();
  if (payload.size() > kMaxFramePayload) return ParseError::kTooLarge;
  if (!JsonDepthWithin(payload, kMaxJsonDepth)) return ParseError::kTooDeep;
  constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag;
  out->doc.Parse<kFlags>(payload.data(), payload.size());
  if (out->doc.HasParseError() || !JsonValuesValid(out->doc)) {
    out->doc.SetNull();
    return ParseError::kBadJson;
  }
  if (!out->doc.IsObject()) return ParseError::kNotObject;
  auto it = out->doc.FindMember("type");
  if (it == out->doc.MemberEnd() || !it->value.IsString()) return ParseError::kNoType;
  if (!MsgTypeFromName(std::string_view(it->value.GetString(), it->value.GetStringLength()), &out->type)) {
    return ParseError::kUnknownType;
  }
  return ParseError::kNone;
}

std::string EncodeLogin(const LoginRequest& m) {
  Builder b(MsgType::kLogin);
  Writer& w = b.w();
  Uint(w, "seq", m.seq);
  Int(w, "proto", m.proto);
  Str(w, "app_id", m.app_id);
  Str(w, "token", m.token);
  Str(w, "device_id", m.device_id);
  Str(w, "user_id", m.user_id);
  Str(w, "platform", m.platform);
  Str(w, "extra", m.extra);
  Bool(w, "force", m.force);
  Bool(w, "reconnect", m.reconnect);
  return b.Finish();
}

std::string EncodeLoginResult(const LoginResult& m) {
  Builder b(MsgType::kLoginResult);
  Writer& w = b.w();
  Uint(w, "seq", m.seq);
  Int(w, "code", m.code);
  if (!m.device_id.empty()) Str(w, "device_id", m.device_id);
  if (!m.detail.empty()) Str(w, "detail", m.detail);
  return b.Finish();
}

std::string EncodeLogout(const SeqOnly& m) { return EncodeSeq(MsgType::kLogout, m.seq); }

std::string EncodeLogouted(const Logouted& m) {
  Builder b(MsgType::kLogouted);
  Int(b.w(), "reason", m.reason);
  return b.Finish();
}

std::string EncodeJoin(const JoinRequest& m) {
  Builder b(MsgType::kJoin);
  Uint(b.w(), "seq", m.seq);
  Str(b.w(), "group_id", m.group_id);
  return b.Finish();
}

std::string EncodeJoinResult(const JoinResult& m) {
  return EncodeGroupResult(MsgType::kJoinResult, m.seq, m.code, m.group_id);
}

std::string EncodeLeave(const SeqOnly& m) { return EncodeSeq(MsgType::kLeave, m.seq); }

std::string EncodeLeaveResult(const LeaveResult& m) {
  return EncodeGroupResult(MsgType::kLeaveResult, m.seq, m.code, m.group_id);
}

std::string EncodeMediaList(const MediaList& m) {
  Builder b(MsgType::kMediaList);
  Writer& w = b.w();
  Str(w, "group_id", m.group_id);
  Key(w, "users");
  w.StartArray();
  for (const auto& u : m.users) w.String(u.data(), static_cast<rapidjson::SizeType>(u.size()));
  w.EndArray();
  Key(w, "media");
  w.StartArray();
  for (const auto& e : m.media) {
    w.StartObject();
    Str(w, "user_id", e.user_id);
    Int(w, "media_type", e.media_type);
    Str(w, "media_id", e.media_id);
    Str(w, "media_name", e.media_name);
    Str(w, "media_owner", e.media_owner);
    w.EndObject();
  }
  w.EndArray();
  return b.Finish();
}

std::string EncodeUserJoined(const UserEvent& m) {
  Builder b(MsgType::kUserJoined);
  Str(b.w(), "user_id", m.user_id);
  return b.Finish();
}

std::string EncodeUserLeft(const UserEvent& m) {
  Builder b(MsgType::kUserLeft);
  Str(b.w(), "user_id", m.user_id);
  return b.Finish();
}

std::string EncodePing() { return Builder(MsgType::kPing).Finish(); }

std::string EncodePong() { return Builder(MsgType::kPong).Finish(); }

std::string EncodeBusiness(const rapidjson::Value& body) {
  Builder b(MsgType::kBusiness);
  Key(b.w(), "body");
  if (!body.Accept(b.w())) return std::string();
  return b.Finish();
}

std::string EncodeError(const ErrorReply& m) {
  Builder b(MsgType::kError);
  Int(b.w(), "code", m.code);
  Str(b.w(), "detail", m.detail);
  return b.Finish();
}

bool DecodeLogin(const Message& msg, LoginRequest* out) {
  if (!IsType(msg, MsgType::kLogin)) return false;
  const auto& d = msg.doc;
  *out = LoginRequest{};
  if (!ReadSeq(d, &out->seq) || !GetInt(d, "proto", &out->proto)) return false;
  if (!ReadString(d, "app_id", &out->app_id) || !ReadString(d, "token", &out->token) ||
      !ReadString(d, "device_id", &out->device_id) || !ReadString(d, "user_id", &out->user_id)) {
    return false;
  }
  if (!ReadOptString(d, "platform", &out->platform) || !ReadOptString(d, "extra", &out->extra)) {
    return false;
  }
  if (d.HasMember("force") && !GetBool(d, "force", &out->force)) return false;
  if (d.HasMember("reconnect") && !GetBool(d, "reconnect", &out->reconnect)) return false;
  return true;
}

bool DecodeLoginResult(const Message& msg, LoginResult* out) {
  if (!IsType(msg, MsgType::kLoginResult)) return false;
  *out = LoginResult{};
  return ReadSeq(msg.doc, &out->seq) && GetInt(msg.doc, "code", &out->code) &&
         ReadOptString(msg.doc, "device_id", &out->device_id) && ReadOptString(msg.doc, "detail", &out->detail);
}

bool DecodeSeqOnly(const Message& msg, SeqOnly* out) {
  if (!(IsType(msg, MsgType::kLogout) || IsType(msg, MsgType::kLeave))) return false;
  return ReadSeq(msg.doc, &out->seq);
}

bool DecodeLogouted(const Message& msg, Logouted* out) {
  if (!IsType(msg, MsgType::kLogouted)) return false;
  return GetInt(msg.doc, "reason", &out->reason);
}

bool DecodeJoin(const Message& msg, JoinRequest* out) {
  if (!IsType(msg, MsgType::kJoin)) return false;
  return ReadSeq(msg.doc, &out->seq) && ReadString(msg.doc, "group_id", &out->group_id);
}

bool DecodeJoinResult(const Message& msg, JoinResult* out) {
  return IsType(msg, MsgType::kJoinResult) && ReadGroupResult(msg.doc, &out->seq, &out->code, &out->group_id);
}

bool DecodeLeaveResult(const Message& msg, LeaveResult* out) {
  return IsType(msg, MsgType::kLeaveResult) && ReadGroupResult(msg.doc, &out->seq, &out->code, &out->group_id);
}

bool DecodeMediaList(const Message& msg, MediaList* out) {
  if (!IsType(msg, MsgType::kMediaList)) return false;
  const auto& d = msg.doc;
  *out = MediaList{};
  if (!ReadString(d, "group_id", &out->group_id)) return false;
  auto users = d.FindMember("users");
  auto media = d.FindMember("media");
  if (users == d.MemberEnd() || !users->value.IsArray()) return false;
  if (media == d.MemberEnd() || !media->value.IsArray()) return false;
  for (const auto& u : users->value.GetArray()) {
    if (!u.IsString() || u.GetStringLength() > kMaxFieldLength) return false;
    out->users.emplace_back(u.GetString(), u.GetStringLength());
  }
  for (const auto& m : media->value.GetArray()) {
    if (!m.IsObject()) return false;
    MediaEntry e;
    if (!ReadString(m, "user_id", &e.user_id) || !GetInt(m, "media_type", &e.media_type) ||
        !ReadString(m, "media_id", &e.media_id) || !ReadOptString(m, "media_name", &e.media_name) ||
        !ReadOptString(m, "media_owner", &e.media_owner)) {
      return false;
    }
    out->media.push_back(std::move(e));
  }
  return true;
}

bool DecodeUserEvent(const Message& msg, UserEvent* out) {
  if (!(IsType(msg, MsgType::kUserJoined) || IsType(msg, MsgType::kUserLeft))) return false;
  return ReadString(msg.doc, "user_id", &out->user_id);
}

bool DecodeError(const Message& msg, ErrorReply* out) {
  if (!IsType(msg, MsgType::kError)) return false;
  return GetInt(msg.doc, "code", &out->code) && ReadOptString(msg.doc, "detail", &out->detail);
}

const rapidjson::Value* BusinessBody(const Message& msg, std::string* business, int* id) {
  if (!IsType(msg, MsgType::kBusiness)) return nullptr;
  auto it = msg.doc.FindMember("body");
  if (it == msg.doc.MemberEnd() || !it->value.IsObject()) return nullptr;
  const rapidjson::Value& body = it->value;
  if (!ReadString(body, "business", business) || !GetInt(body, "id", id)) return nullptr;
  return &body;
}

bool GetString(const rapidjson::Value& obj, const char* key, std::string* out) {
  const rapidjson::Value* v = MemberOf(obj, key);
  if (!v || !v->IsString()) return false;
  out->assign(v->GetString(), v->GetStringLength());
  return true;
}

bool GetInt(const rapidjson::Value& obj, const char* key, int* out) {
  const rapidjson::Value* v = MemberOf(obj, key);
  if (!v || !v->IsInt()) return false;
  *out = v->GetInt();
  return true;
}

bool GetUint(const rapidjson::Value& obj, const char* key, uint32_t* out) {
  const rapidjson::Value* v = MemberOf(obj, key);
  if (!v || !v->IsUint()) return false;
  *out = v->GetUint();
  return true;
}

bool GetBool(const rapidjson::Value& obj, const char* key, bool* out) {
  const rapidjson::Value* v = MemberOf(obj, key);
  if (!v || !v->IsBool()) return false;
  *out = v->GetBool();
  return true;
}

std::string ToJson(const rapidjson::Value& value) {
  rapidjson::StringBuffer buf;
  Writer w(buf);
  if (!value.Accept(w) || !w.IsComplete()) return std::string();
  return std::string(buf.GetString(), buf.GetSize());
}

}  // namespace kiv_proto
