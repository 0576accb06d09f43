#include "core/control/board_replies.h"

#include <cstring>

#include "protocol/wire/json_reader.h"

namespace kiv_core {

namespace {

bool IsBoardBusiness(const char* business) {
  return business &&
         (std::strcmp(business, "WBS") == 0 || std::strcmp(business, "STORE") == 0 || std::strcmp(business, "DC") == 0);
}

bool IsReply(int commandId) {
  switch (commandId) {
    case kCreateBoardResult:
    case kUploadDocResult:
    case kUploadDocEndResult:
    case kDocDownloadResult:
    case kDocTransCodeResult:
    case kStoreAccepted:
    case kDcAccepted:
      return true;
    default:
      return false;
  }
}

// "data" when present and an object.
const rapidjson::Value* DataOf(const rapidjson::Value& body) {
  auto it = body.FindMember("data");
  return (it != body.MemberEnd() && it->value.IsObject()) ? &it->value : nullptr;
}

}  // namespace

bool ReadBoardReply(const char* business, int commandId, const rapidjson::Value& body, BoardReply* reply) {
  if (!IsBoardBusiness(business) || !body.IsObject() || !IsReply(commandId)) return false;
  *reply = BoardReply();
  reply->id = commandId;
  if (commandId == kCreateBoardResult) {
    reply->seq = GetJsonInt(body, "cli_seq_id", -1);
    reply->code = GetJsonInt(body, "result", -1);
    reply->boardId = GetJsonString(body, "board_id");
    return true;
  }
  reply->code = GetJsonInt(body, "code", -1);
  reply->msg = GetJsonString(body, "msg");
  const rapidjson::Value* data = DataOf(body);
  if (!data) return true;
  reply->hasData = true;
  reply->filePath = GetJsonString(*data, "file_path");
  reply->url = GetJsonString(*data, "url");
  reply->convertPath = GetJsonString(*data, "convert_file_path");
  reply->width = GetJsonInt(*data, "width", -1);
  reply->height = GetJsonInt(*data, "height", -1);
  reply->count = GetJsonInt(*data, "convert_counts", -1);
  return true;
}

}  // namespace kiv_core
