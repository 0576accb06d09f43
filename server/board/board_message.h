// Readers of what the board service receives: board messages (the JSON texts of a board's
// stream) and the "WBS" requests. Strict: anything the service cannot serve exactly is
// refused with a reason, never guessed at.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <rapidjson/document.h>

#include "protocol/messages/board_limits.h"

namespace kiv_server {

// Board message ids.
constexpr int kBoardSeqNotice = 30000;
constexpr int kBoardEditIdRequest = 30001;
constexpr int kBoardEditId = 30002;
constexpr int kBoardStateRequest = 30003;
constexpr int kBoardState = 30004;
constexpr int kBoardPageUpdate = 30200;
constexpr int kBoardMoveUpdate = 30202;
constexpr int kBoardLineUpdate = 31000;
constexpr int kBoardCurveUpdate = 31002;
constexpr int kBoardTextUpdate = 31006;

// Limits a participant can reach.
using kiv_proto::kMaxBoardUpdateBytes;
constexpr size_t kMaxBoardNameBytes = 256;
constexpr size_t kMaxBoardPathBytes = 1024;
constexpr int kMaxBoardSide = 16384;
constexpr int kMaxBoardPages = 1000;

enum class BoardReadError {
  kNone,
  kTooLarge,   // longer than kMaxBoardUpdateBytes
  kBadJson,    // not one JSON object, or a value no writer puts out (a lone surrogate, infinity)
  kNoId,       // "id" missing or not an integer
  kUnknownId,  // an id the service does not take from a client
  kBadUpdate,  // "type" missing, not matching the id, or its body not an object
};
const char* BoardReadErrorText(BoardReadError error);

// One board message as a client sent it.
struct BoardMessage {
  int id = 0;
  std::string type;         // update body name ("line", "curve", "text", "page", "gmov")
  rapidjson::Document doc;  // the whole message
  const rapidjson::Value& body() const { return doc[type.c_str()]; }
};

bool IsBoardUpdateId(int id);

// A message of a board's stream: a request (30001, 30003) or an update whose "type" names
// the body of its id and whose body is an object.
[[nodiscard]] BoardReadError ReadBoardMessage(std::string_view text, BoardMessage* out);

// 19000 {"cli_seq_id","board_name","board_type","width","height","page"[,"file_path",
// "convert_file_path"]}.
struct CreateBoardRequest {
  int cli_seq_id = 0;
  std::string board_name;
  int board_type = 0;
  int width = 0;
  int height = 0;
  int page = 0;
  std::string file_path;
  std::string convert_file_path;
};

// false with a reason when a member is missing, of another type or out of range.
[[nodiscard]] bool ReadCreateBoardRequest(const rapidjson::Value& body, CreateBoardRequest* out, std::string* reason);
// 19002 {"board_id"}.
[[nodiscard]] bool ReadCloseBoardRequest(const rapidjson::Value& body, std::string* board_id);

}  // namespace kiv_server
