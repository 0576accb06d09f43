// Replies of the board and document services ("WBS", "STORE", "DC") read from the bodies
// that the control-plane connection hands over.
#pragma once

#include <rapidjson/document.h>

namespace kiv_core {

constexpr int kCreateBoard = 19000;
constexpr int kCreateBoardResult = 19001;
constexpr int kCloseBoard = 19002;
constexpr int kUploadDoc = 20000;
constexpr int kUploadDocResult = 20001;
constexpr int kUploadDocEnd = 20002;
constexpr int kUploadDocEndResult = 20003;
constexpr int kStoreAccepted = 20005;
constexpr int kDocDownload = 20006;
constexpr int kDocDownloadResult = 20007;
constexpr int kDocTransCode = 21000;
constexpr int kDocTransCodeResult = 21001;
constexpr int kDcAccepted = 21003;

// One reply. Texts point into the body (valid while it lives) and are null when the member
// is missing or not a string, unless noted; integers missing or not 32-bit read as -1.
struct BoardReply {
  int id = 0;     // the reply's command id
  int seq = -1;   // create: "cli_seq_id"
  int code = -1;  // create: "result"; the others: "code"
  const char* boardId = nullptr;
  const char* msg = nullptr;
  // Members of the reply's "data" object; `hasData` false when it is missing or no object.
  bool hasData = false;
  const char* filePath = nullptr;
  const char* url = nullptr;
  const char* convertPath = nullptr;
  int width = -1;
  int height = -1;
  int count = -1;  // "convert_counts"
};

// True for one of the services' replies (the ids above ending in a result or an
// acceptance) when the body is an object; the business name must be "WBS", "STORE" or "DC".
[[nodiscard]] bool ReadBoardReply(const char* business, int commandId, const rapidjson::Value& body, BoardReply* reply);

}  // namespace kiv_core
