// Transparent data on the control connection (business "TSPD"), shared by the meeting
// server and the framework's connection. A medium's data is a UTF-8 text without NUL bytes
// (the receiving framework hands it on with one NUL byte appended).
//   17000 (client) subscribe {"media_id"}  -> 17001 {"media_id","result"}
//   17002 (client) unsubscribe {"media_id"} (no answer)
//   17004 (client) data {"media_id","data"}  -> relayed by the medium's service
//   17005 (server) data {"media_id","data"}
//   17006 (server) the sender's data was refused {"media_id","code","msg"[,"cli_seq_id"]}; the
//         receiving framework hands it to the stream's receiver as the data text
//         {"id":17006,"code","msg"[,"cli_seq_id"]}
#pragma once

#include <cstdint>
#include <string>

#include <rapidjson/document.h>

#include "protocol/messages/board_limits.h"

namespace kiv_proto {

constexpr char kBusinessTspd[] = "TSPD";
constexpr int kTspdSubscribe = 17000;
constexpr int kTspdSubscribeResult = 17001;
constexpr int kTspdUnsubscribe = 17002;
constexpr int kTspdSend = 17004;
constexpr int kTspdData = 17005;
constexpr int kTspdRefused = 17006;

// Longest data text a client sends in one message (a board update); longer data is refused
// by both sides.
constexpr size_t kMaxTspdDataBytes = kMaxBoardUpdateBytes;
// Longest data text the server delivers in one message: a board's full state (its kept
// graphs, kMaxBoardStateBytes, and the board's settings). With its escaping it still fits in
// one frame.
constexpr size_t kMaxTspdDeliveryBytes = kMaxBoardStateBytes + 1024 * 1024;

struct TspdSubscribeResult {
  std::string media_id;
  int result = 0;
};

// 17004 and 17005.
struct TspdData {
  std::string media_id;
  std::string data;
};

struct TspdRefused {
  std::string media_id;
  int code = 0;
  std::string msg;
  uint32_t cli_seq_id = 0;  // the refused data's own "cli_seq_id" when it had one; 0 none
};

// 17000 and 17002: {"business","id","media_id"}.
rapidjson::Document EncodeTspdMedia(int id, const std::string& media_id);
rapidjson::Document EncodeTspdSubscribeResult(const TspdSubscribeResult& m);
rapidjson::Document EncodeTspdData(int id, const TspdData& m);
rapidjson::Document EncodeTspdRefused(const TspdRefused& m);

// Decoders take a body whose business and id were matched already. A media id is 1..128
// bytes; data is within `max_data` bytes and holds no NUL byte.
[[nodiscard]] bool DecodeTspdMedia(const rapidjson::Value& body, std::string* media_id);
[[nodiscard]] bool DecodeTspdSubscribeResult(const rapidjson::Value& body, TspdSubscribeResult* out);
[[nodiscard]] bool DecodeTspdData(const rapidjson::Value& body, TspdData* out, size_t max_data = kMaxTspdDataBytes);
[[nodiscard]] bool DecodeTspdRefused(const rapidjson::Value& body, TspdRefused* out);
// The data text a refusal reaches the stream's receiver as.
std::string WriteTspdRefusedText(const TspdRefused& m);

}  // namespace kiv_proto
