// Feeds arbitrary JSON to the readers of the business messages that reach the SDK: the
// participants' "GS" messages and the board and document services' replies. The body is
// parsed as the control-plane connection parses it; its "business" and "id" members choose
// the reader, and every reader also sees the body under every id.
#include <rapidjson/document.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/control/board_replies.h"
#include "core/control/gs_message.h"
#include "protocol/wire/json_reader.h"

namespace {

constexpr int kBoardIds[] = {kiv_core::kCreateBoardResult, kiv_core::kUploadDocResult,    kiv_core::kUploadDocEndResult,
                             kiv_core::kDocDownloadResult, kiv_core::kDocTransCodeResult, kiv_core::kStoreAccepted,
                             kiv_core::kDcAccepted};

// Touches every character of a text the readers returned, so a dangling one is caught.
size_t Touch(const char* text) { return text ? std::string(text).size() : 0; }

size_t ReadBoard(const char* business, int id, const rapidjson::Value& body) {
  kiv_core::BoardReply reply;
  if (!kiv_core::ReadBoardReply(business, id, body, &reply)) return 0;
  return Touch(reply.boardId) + Touch(reply.msg) + Touch(reply.filePath) + Touch(reply.url) + Touch(reply.convertPath);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag;
  rapidjson::Document body;
  body.Parse<kFlags>(reinterpret_cast<const char*>(data), size);
  if (body.HasParseError()) return 0;

  const char* business = GetJsonString(body, "business");
  const int id = GetJsonInt(body, "id", -1);
  (void)GetJsonUint(body, "id", 0);
  size_t sum = ReadBoard(business, id, body);
  for (const char* name : {"WBS", "STORE", "DC"}) {
    for (int boardId : kBoardIds) sum += ReadBoard(name, boardId, body);
  }

  kiv_core::MediaRecord record;
  if (kiv_core::ReadMediaChange(body, &record))
    sum += record.userId.size() + record.mediaId.size() + record.mediaName.size() + record.mediaOwner.size();
  std::string source;
  int operation = 0;
  if (kiv_core::ReadRemoteControl(body, &source, &operation)) sum += source.size();
  return static_cast<int>(sum & 0);
}
