// A controller for tests and test hosts, never in the shipped library: it keeps the tool
// settings and the board's page count and current page, takes the board's edit id and full
// state from the stream, and draws nothing. Board messages other than those are ignored.
#pragma once

#include <mutex>
#include <string>

#include "wb/board_engine_controller.h"

namespace kiv_wb {

class PlainBoardController : public IBoardController {
 public:
  void Attach(const std::string& boardId, ICoreBoardEventListener* listener, std::shared_ptr<IBoardCanvas>,
              kiv_core::IWhiteBoardNet* net, IEditView*) override;
  void OnNetMsg(const uint8_t* data, uint32_t length) override;
  void Redraw() override {}
  void RequestRedraw() override {}
  void OnMouseMove(int, int) override {}
  void OnMouseDown(int, int) override {}
  void OnMouseUp(int, int) override {}
  bool OnDoubleClick(int, int) override { return false; }

  void SetPageChangeSynMode(bool sync) override { m_sync = sync; }
  bool GetPageChangeSynMode() override { return m_sync; }
  void SetCurrentPage(int pageIndex) override;
  int GetCurrentPage() override;
  int GetPageCount() override;
  void SetGraphType(int graphType) override { m_graphType = graphType; }
  int GetGraphType() override { return m_graphType; }
  void SetOperation(int operation) override;
  int GetOperation() override { return m_operation; }
  void SetLineWidth(int width) override { m_lineWidth = width; }
  int GetLineWidth() override { return m_lineWidth; }
  void SetLineColor(int argb) override { m_lineColor = argb; }
  int GetLineColor() override { return m_lineColor; }
  bool ClearCurrentPage() override { return false; }
  bool Undo() override { return false; }
  bool Redo() override { return false; }
  int GetUndoCount() override { return 0; }
  int GetRedoCount() override { return 0; }
  void ResetPendingCommands() override {}

  int GetBoardType() override;
  std::string GetConvertedFilePath() override;
  int GetCurrentPageId() override { return GetCurrentPage(); }
  bool GetPageLocalPath(int pageId, std::string* path) override;
  bool SetPageLocalPath(int pageId, const std::string& path) override;

 private:
  void Send(const char* text);

  std::mutex m_mutex;  // guards the board fields below
  std::string m_boardId;
  ICoreBoardEventListener* m_listener = nullptr;
  kiv_core::IWhiteBoardNet* m_net = nullptr;
  BoardInfo m_info;
  int m_currentPage = 0;
  int m_editId = 0;
  bool m_sync = false;
  int m_graphType = 0;
  int m_operation = 0;
  int m_lineWidth = 0;
  int m_lineColor = 0;
};

}  // namespace kiv_wb
