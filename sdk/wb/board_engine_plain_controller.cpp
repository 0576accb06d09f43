#include "wb/board_engine_plain_controller.h"

#include <cstring>

#include <rapidjson/document.h>

#include "core/white_board_net.h"
#include "protocol/wire/json_reader.h"

namespace kiv_wb {

namespace {

constexpr int kSeqNotice = 30000;
constexpr int kEditIdRequest = 30001;
constexpr int kEditId = 30002;
constexpr int kStateRequest = 30003;
constexpr int kState = 30004;

}  // namespace

void PlainBoardController::Attach(const std::string& boardId, ICoreBoardEventListener* listener,
                                  std::shared_ptr<IBoardCanvas>, kiv_core::IWhiteBoardNet* net, IEditView*) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_boardId = boardId;
  m_listener = listener;
  m_net = net;
  if (m_info.width == 0) {
    m_info.width = 1280;
    m_info.height = 720;
    m_info.pageCount = 1;
  }
}

void PlainBoardController::Send(const char* text) {
  kiv_core::IWhiteBoardNet* net = nullptr;
  std::string id;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    net = m_net;
    id = m_boardId;
  }
  if (net) (void)net->SendBoardData(id.c_str(), reinterpret_cast<const uint8_t*>(text), std::strlen(text) + 1);
}

void PlainBoardController::OnNetMsg(const uint8_t* data, uint32_t length) {
  if (!data || length == 0) return;
  size_t n = length;
  while (n > 0 && data[n - 1] == 0) --n;
  rapidjson::Document doc;
  doc.Parse(reinterpret_cast<const char*>(data), n);
  const int id = (!doc.HasParseError() && doc.IsObject()) ? GetJsonInt(doc, "id", -1) : kSeqNotice;
  if (id == kSeqNotice) {
    Send("{\"id\":30003}");
    return;
  }
  if (id == kEditId) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_editId = GetJsonInt(doc, "edit_id", -1);
    return;
  }
  if (id != kState) return;
  auto list = doc.FindMember("data");
  if (list == doc.MemberEnd() || !list->value.IsArray()) return;
  for (const auto& entry : list->value.GetArray()) {
    auto board = entry.IsObject() ? entry.FindMember("board") : list->value.MemberEnd();
    if (!entry.IsObject() || board == entry.MemberEnd() || !board->value.IsObject()) continue;
    const rapidjson::Value& b = board->value;
    BoardInfo info;
    info.boardType = GetJsonInt(b, "board_type", -1);
    const char* name = GetJsonString(b, "board_name");
    const char* file = GetJsonString(b, "file_path");
    const char* converted = GetJsonString(b, "convert_file_path");
    info.boardName = name ? name : "";
    info.filePath = file ? file : "";
    info.convertFilePath = converted ? converted : "";
    info.width = GetJsonInt(b, "width", -1);
    info.height = GetJsonInt(b, "height", -1);
    info.pageCount = GetJsonInt(b, "page", -1);
    const int current = GetJsonInt(b, "current_pid", 0);
    ICoreBoardEventListener* listener = nullptr;
    std::string boardId;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_info = info;
      m_currentPage = current;
      listener = m_listener;
      boardId = m_boardId;
    }
    if (listener) listener->OnBoardSynUpdate(boardId, info, current);
    return;
  }
}

void PlainBoardController::SetCurrentPage(int pageIndex) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (pageIndex >= 0 && pageIndex < m_info.pageCount) m_currentPage = pageIndex;
}

int PlainBoardController::GetCurrentPage() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_currentPage;
}

int PlainBoardController::GetPageCount() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_info.pageCount;
}

void PlainBoardController::SetOperation(int operation) {
  bool ask = false;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_operation = operation;
    if (operation != 1) m_graphType = 0;
    ask = m_editId <= 0;
  }
  if (ask) Send("{\"id\":30001}");
}

int PlainBoardController::GetBoardType() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_info.boardType;
}

std::string PlainBoardController::GetConvertedFilePath() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_info.convertFilePath;
}

bool PlainBoardController::GetPageLocalPath(int pageId, std::string* path) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (pageId < 0 || pageId >= m_info.pageCount) return false;
  if (path) path->clear();
  return true;
}

bool PlainBoardController::SetPageLocalPath(int pageId, const std::string&) {
  std::lock_guard<std::mutex> lock(m_mutex);
  return pageId >= 0 && pageId < m_info.pageCount;
}

}  // namespace kiv_wb
