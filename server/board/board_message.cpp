#include "server/board/board_message.h"

#include <cstring>

#include "protocol/wire/ids.h"
#include "protocol/wire/json_depth.h"
#include "protocol/wire/json_values.h"
#include "protocol/wire/wire_message.h"

namespace kiv_server {

using kiv_proto::GetInt;
using kiv_proto::GetString;

namespace {

const char* UpdateType(int id) {
  switch (id) {
    case kBoardPageUpdate:
      return "page";
    case kBoardMoveUpdate:
      return "gmov";
    case kBoardLineUpdate:
      return "line";
    case kBoardCurveUpdate:
      return "curve";
    case kBoardTextUpdate:
      return "text";
    default:
      return nullptr;
  }
}

bool ReadText(const rapidjson::Value& body, const char* key, size_t max, std::string* out) {
  return GetString(body, key, out) && out->size() <= max && std::memchr(out->data(), 0, out->size()) == nullptr;
}

// Board messages nest at most four deep ({"curve":{"points":[[x,y]]}}).
constexpr size_t kMaxBoardDepth = 8;

}  // namespace

const char* BoardReadErrorText(BoardReadError error) {
  switch (error) {
    case BoardReadError::kNone:
      return "ok";
    case BoardReadError::kTooLarge:
      return "board message too large";
    case BoardReadError::kBadJson:
      return "board message is not a JSON object";
    case BoardReadError::kNoId:
      return "board message without an integer id";
    case BoardReadError::kUnknownId:
      return "board message id not accepted";
    case BoardReadError::kBadUpdate:
      return "board update without a matching type and body";
  }
  return "?";
}

bool IsBoardUpdateId(int id) { return UpdateType(id) != nullptr; }

BoardReadError ReadBoardMessage(std::string_view text, BoardMessage* out) {
  if (text.size() > kMaxBoardUpdateBytes) return BoardReadError::kTooLarge;
  if (!kiv_proto::JsonDepthWithin(text, kMaxBoardDepth)) return BoardReadError::kBadJson;
  // Iterative parsing; only white space may follow the object.
  constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag;
  rapidjson::Document doc;
  doc.Parse<kFlags>(text.data(), text.size());
  if (doc.HasParseError() || !doc.IsObject() || !kiv_proto::JsonValuesValid(doc)) return BoardReadError::kBadJson;
  int id = 0;
  if (!GetInt(doc, "id", &id)) return BoardReadError::kNoId;
  out->id = id;
  out->type.clear();
  if (id == kBoardEditIdRequest || id == kBoardStateRequest) {
    out->doc.Swap(doc);
    return BoardReadError::kNone;
  }
  const char* type = UpdateType(id);
  if (type == nullptr) return BoardReadError::kUnknownId;
  std::string named;
  if (!GetString(doc, "type", &named) || named != type) return BoardReadError::kBadUpdate;
  auto body = doc.FindMember(type);
  if (body == doc.MemberEnd() || !body->value.IsObject()) return BoardReadError::kBadUpdate;
  out->type = type;
  out->doc.Swap(doc);
  return BoardReadError::kNone;
}

bool ReadCreateBoardRequest(const rapidjson::Value& body, CreateBoardRequest* out, std::string* reason) {
  auto fail = [&](const char* why) {
    *reason = why;
    return false;
  };
  if (!GetInt(body, "cli_seq_id", &out->cli_seq_id)) return fail("cli_seq_id missing");
  if (!ReadText(body, "board_name", kMaxBoardNameBytes, &out->board_name))
    return fail("board_name missing or too long");
  if (!GetInt(body, "board_type", &out->board_type)) return fail("board_type missing");
  if (!GetInt(body, "width", &out->width) || !GetInt(body, "height", &out->height) || out->width < 1 ||
      out->height < 1 || out->width > kMaxBoardSide || out->height > kMaxBoardSide) {
    return fail("board size missing or out of range");
  }
  if (!GetInt(body, "page", &out->page) || out->page < 1 || out->page > kMaxBoardPages) {
    return fail("page count missing or out of range");
  }
  out->file_path.clear();
  out->convert_file_path.clear();
  if (out->board_type != 0 && (!ReadText(body, "file_path", kMaxBoardPathBytes, &out->file_path) ||
                               !ReadText(body, "convert_file_path", kMaxBoardPathBytes, &out->convert_file_path))) {
    return fail("document paths missing or too long");
  }
  return true;
}

bool ReadCloseBoardRequest(const rapidjson::Value& body, std::string* board_id) {
  return GetString(body, "board_id", board_id) && !board_id->empty() && board_id->size() <= kiv_proto::kMaxIdLength;
}

}  // namespace kiv_server
