#include "protocol/media/media_messages.h"

#include "protocol/media/media_ticket.h"
#include "protocol/wire/wire_message.h"

namespace kiv_media {
namespace {

rapidjson::Document Start(int id) {
  rapidjson::Document d(rapidjson::kObjectType);
  d.AddMember("business", rapidjson::StringRef(kBusinessMedia), d.GetAllocator());
  d.AddMember("id", id, d.GetAllocator());
  return d;
}

void AddString(rapidjson::Document& d, const char* key, const std::string& s) {
  d.AddMember(rapidjson::StringRef(key),
              rapidjson::Value(s.data(), static_cast<rapidjson::SizeType>(s.size()), d.GetAllocator()),
              d.GetAllocator());
}

bool ReadMediaType(const rapidjson::Value& body, int* out) {
  return kiv_proto::GetInt(body, "media_type", out) && *out >= kiv_proto::kMediaScreen &&
         *out <= kiv_proto::kMediaBoard;
}

bool ReadId(const rapidjson::Value& body, const char* key, std::string* out) {
  return kiv_proto::GetString(body, key, out) && !out->empty() && out->size() <= kMaxMediaIdLength;
}

}  // namespace

rapidjson::Document EncodeTicketRequest() { return Start(kMediaTicketRequest); }

rapidjson::Document EncodeTicket(const TicketMessage& m) {
  rapidjson::Document d = Start(kMediaTicket);
  AddString(d, "ticket", m.ticket);
  d.AddMember("port", m.port, d.GetAllocator());
  return d;
}

rapidjson::Document EncodePublish(int id, const PublishMessage& m) {
  rapidjson::Document d = Start(id);
  d.AddMember("media_type", m.media_type, d.GetAllocator());
  AddString(d, "media_id", m.media_id);
  if (id != kMediaUnpublish) d.AddMember("ssrc", m.ssrc, d.GetAllocator());
  if (id == kMediaPublishResult) d.AddMember("result", m.result, d.GetAllocator());
  return d;
}

rapidjson::Document EncodeSource(int id, const SourceMessage& m) {
  rapidjson::Document d = Start(id);
  AddString(d, "user_id", m.user_id);
  d.AddMember("media_type", m.media_type, d.GetAllocator());
  AddString(d, "media_id", m.media_id);
  if (id == kMediaSource) d.AddMember("ssrc", m.ssrc, d.GetAllocator());
  return d;
}

bool DecodeTicket(const rapidjson::Value& body, TicketMessage* out) {
  uint32_t port = 0;
  Ticket ticket;
  if (!body.IsObject() || !kiv_proto::GetString(body, "ticket", &out->ticket) || !TicketFromHex(out->ticket, &ticket) ||
      !kiv_proto::GetUint(body, "port", &port) || port == 0 || port > 65535) {
    return false;
  }
  out->port = static_cast<uint16_t>(port);
  return true;
}

bool DecodePublish(const rapidjson::Value& body, int id, PublishMessage* out) {
  if (!body.IsObject() || !ReadMediaType(body, &out->media_type) || !ReadId(body, "media_id", &out->media_id)) {
    return false;
  }
  out->ssrc = 0;
  out->result = 0;
  if (id != kMediaUnpublish && (!kiv_proto::GetUint(body, "ssrc", &out->ssrc) || out->ssrc == 0)) return false;
  if (id == kMediaPublishResult && !kiv_proto::GetInt(body, "result", &out->result)) return false;
  return true;
}

bool DecodeSource(const rapidjson::Value& body, int id, SourceMessage* out) {
  if (!body.IsObject() || !ReadId(body, "user_id", &out->user_id) || !ReadMediaType(body, &out->media_type) ||
      !ReadId(body, "media_id", &out->media_id)) {
    return false;
  }
  out->ssrc = 0;
  return id != kMediaSource || kiv_proto::GetUint(body, "ssrc", &out->ssrc);
}

}  // namespace kiv_media
