#include "protocol/messages/tspd_messages.h"

#include <cstring>

#include "protocol/wire/ids.h"
#include "protocol/wire/wire_message.h"

namespace kiv_proto {

namespace {

rapidjson::Document Begin(int id) {
  rapidjson::Document d(rapidjson::kObjectType);
  d.AddMember("business", rapidjson::StringRef(kBusinessTspd), d.GetAllocator());
  d.AddMember("id", id, d.GetAllocator());
  return d;
}

void AddText(rapidjson::Document& d, const char* key, const std::string& text) {
  d.AddMember(rapidjson::StringRef(key),
              rapidjson::Value(text.data(), static_cast<rapidjson::SizeType>(text.size()), d.GetAllocator()),
              d.GetAllocator());
}

bool ReadMediaId(const rapidjson::Value& body, std::string* out) {
  return body.IsObject() && GetString(body, "media_id", out) && !out->empty() && out->size() <= kMaxIdLength;
}

}  // namespace

rapidjson::Document EncodeTspdMedia(int id, const std::string& media_id) {
  rapidjson::Document d = Begin(id);
  AddText(d, "media_id", media_id);
  return d;
}

rapidjson::Document EncodeTspdSubscribeResult(const TspdSubscribeResult& m) {
  rapidjson::Document d = Begin(kTspdSubscribeResult);
  AddText(d, "media_id", m.media_id);
  d.AddMember("result", m.result, d.GetAllocator());
  return d;
}

rapidjson::Document EncodeTspdData(int id, const TspdData& m) {
  rapidjson::Document d = Begin(id);
  AddText(d, "media_id", m.media_id);
  AddText(d, "data", m.data);
  return d;
}

rapidjson::Document EncodeTspdRefused(const TspdRefused& m) {
  rapidjson::Document d = Begin(kTspdRefused);
  AddText(d, "media_id", m.media_id);
  d.AddMember("code", m.code, d.GetAllocator());
  AddText(d, "msg", m.msg);
  if (m.cli_seq_id != 0) d.AddMember("cli_seq_id", m.cli_seq_id, d.GetAllocator());
  return d;
}

bool DecodeTspdMedia(const rapidjson::Value& body, std::string* media_id) { return ReadMediaId(body, media_id); }

bool DecodeTspdSubscribeResult(const rapidjson::Value& body, TspdSubscribeResult* out) {
  return ReadMediaId(body, &out->media_id) && GetInt(body, "result", &out->result);
}

bool DecodeTspdData(const rapidjson::Value& body, TspdData* out, size_t max_data) {
  if (!ReadMediaId(body, &out->media_id) || !GetString(body, "data", &out->data)) return false;
  return out->data.size() <= max_data && std::memchr(out->data.data(), 0, out->data.size()) == nullptr;
}

bool DecodeTspdRefused(const rapidjson::Value& body, TspdRefused* out) {
  out->cli_seq_id = 0;
  if (body.IsObject() && body.HasMember("cli_seq_id") && !GetUint(body, "cli_seq_id", &out->cli_seq_id)) return false;
  return ReadMediaId(body, &out->media_id) && GetInt(body, "code", &out->code) && GetString(body, "msg", &out->msg);
}

std::string WriteTspdRefusedText(const TspdRefused& m) {
  rapidjson::Document d(rapidjson::kObjectType);
  auto& a = d.GetAllocator();
  d.AddMember("id", kTspdRefused, a);
  d.AddMember("code", m.code, a);
  d.AddMember("msg", rapidjson::Value(m.msg.data(), static_cast<rapidjson::SizeType>(m.msg.size()), a), a);
  if (m.cli_seq_id != 0) d.AddMember("cli_seq_id", m.cli_seq_id, a);
  return ToJson(d);
}

}  // namespace kiv_proto
