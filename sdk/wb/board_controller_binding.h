// The board controller as the board engine, manager and window reach it.
#pragma once

#include <memory>
#include <string>

#include "wb/board_controller.h"
#include "wb/board_engine_controller.h"

namespace kiv_wb {

class EngineBoardController : public IBoardController {
 public:
  BoardController& Controller() { return m_controller; }

  void Attach(const std::string& boardId, ICoreBoardEventListener* listener, std::shared_ptr<IBoardCanvas> canvas,
              kiv_core::IWhiteBoardNet* net, IEditView* editView) override;
  void OnNetMsg(const uint8_t* data, uint32_t length) override { m_controller.OnNetMsg(data, length); }
  void Redraw() override { m_controller.Redraw(); }
  void RequestRedraw() override { m_controller.GetBoard().GetPainter().Invalidate(); }
  void OnMouseMove(int x, int y) override { m_controller.OnMouseMove(x, y); }
  void OnMouseDown(int x, int y) override { m_controller.OnMouseDown(x, y); }
  void OnMouseUp(int x, int y) override { m_controller.OnMouseUp(x, y); }
  bool OnDoubleClick(int x, int y) override { return m_controller.OnDoubleClick(x, y); }

  void SetPageChangeSynMode(bool sync) override { m_controller.SetPageChangeSynMode(sync); }
  bool GetPageChangeSynMode() override { return m_controller.GetPageChangeSynMode(); }
  void SetCurrentPage(int pageIndex) override { m_controller.SetCurrentPage(pageIndex); }
  int GetCurrentPage() override { return m_controller.GetCurrentPage(); }
  int GetPageCount() override { return m_controller.GetBoard().GetPageCount(); }
  void SetGraphType(int graphType) override { m_controller.SetGraphType(graphType); }
  int GetGraphType() override { return m_controller.GetGraphType(); }
  void SetOperation(int operation) override { m_controller.SetOperation(operation); }
  int GetOperation() override { return m_controller.GetOperation(); }
  void SetLineWidth(int width) override { m_controller.SetLineWidth(width); }
  int GetLineWidth() override { return m_controller.GetLineWidth(); }
  void SetLineColor(int argb) override { m_controller.SetLineColor(static_cast<uint32_t>(argb)); }
  int GetLineColor() override { return static_cast<int>(m_controller.GetLineColor()); }
  bool ClearCurrentPage() override { return m_controller.ClearCurrentPage(); }
  bool Undo() override { return m_controller.Undo(); }
  bool Redo() override { return m_controller.Redo(); }
  int GetUndoCount() override { return m_controller.GetUndoCount(); }
  int GetRedoCount() override { return m_controller.GetRedoCount(); }
  void ResetPendingCommands() override { m_controller.ResetCommands(); }

  int GetBoardType() override { return m_controller.GetBoard().GetBoardType(); }
  std::string GetConvertedFilePath() override;
  int GetCurrentPageId() override;
  bool GetPageLocalPath(int pageId, std::string* path) override;
  bool SetPageLocalPath(int pageId, const std::string& path) override;

 private:
  BoardController m_controller;
  bool m_attached = false;  // the window's thread only
};

// The drawing controller, for the board engine's controller factory.
std::unique_ptr<IBoardController> MakeDrawingBoardController();

}  // namespace kiv_wb
