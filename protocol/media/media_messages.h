// Business "MEDIA" on the control connection: tickets, publications and subscriptions
// of the media relay. Each body is a JSON object with "business" and "id" first.
//   17000 (client) ticket request          -> 17001 {"ticket","port"}: the login's ticket,
//                  issued when the login started
//   17002 (client) publish {"media_type","media_id","ssrc"}
//                                          -> 17003 {"media_type","media_id","ssrc","result"}
//   17004 (client) unpublish {"media_type","media_id"}
//   17006 (client) subscribe {"user_id","media_type","media_id"}
//   17007 (server) source {"user_id","media_type","media_id","ssrc"}: the SSRC a subscribed
//                  source now sends with, 0 while it is not published
//   17008 (client) unsubscribe {"user_id","media_type","media_id"}
#pragma once

#include <cstdint>
#include <string>

#include <rapidjson/document.h>

#include "protocol/wire/media_type.h"

namespace kiv_media {

constexpr char kBusinessMedia[] = "MEDIA";
constexpr int kMediaTicketRequest = 17000;
constexpr int kMediaTicket = 17001;
constexpr int kMediaPublish = 17002;
constexpr int kMediaPublishResult = 17003;
constexpr int kMediaUnpublish = 17004;
constexpr int kMediaSubscribe = 17006;
constexpr int kMediaSource = 17007;
constexpr int kMediaUnsubscribe = 17008;

// Publish results.
constexpr int kPublishOk = 0;
constexpr int kPublishNotInGroup = 1;
constexpr int kPublishSsrcInUse = 2;
constexpr int kPublishBadRequest = 3;

constexpr size_t kMaxMediaIdLength = 256;

struct TicketMessage {
  std::string ticket;  // 32 hex digits
  uint16_t port = 0;
};

// Publish, publish result and unpublish (ssrc and result unused where not sent).
struct PublishMessage {
  int media_type = kiv_proto::kMediaScreen;  // a MediaType code
  std::string media_id;
  uint32_t ssrc = 0;
  int result = 0;
};

// Subscribe, unsubscribe and source notices (ssrc for 17007 only).
struct SourceMessage {
  std::string user_id;
  int media_type = kiv_proto::kMediaScreen;  // a MediaType code
  std::string media_id;
  uint32_t ssrc = 0;
};

rapidjson::Document EncodeTicketRequest();
rapidjson::Document EncodeTicket(const TicketMessage& m);
rapidjson::Document EncodePublish(int id, const PublishMessage& m);  // 17002, 17003, 17004
rapidjson::Document EncodeSource(int id, const SourceMessage& m);    // 17006, 17007, 17008

// Decoders take the body of a message whose business and id were matched already.
[[nodiscard]] bool DecodeTicket(const rapidjson::Value& body, TicketMessage* out);
[[nodiscard]] bool DecodePublish(const rapidjson::Value& body, int id, PublishMessage* out);
[[nodiscard]] bool DecodeSource(const rapidjson::Value& body, int id, SourceMessage* out);

}  // namespace kiv_media
