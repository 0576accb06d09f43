// What the board engine, the board manager and the board window use of a board's
// controller (the events its board reports to the engine are in the board model). The
// board controller implements IBoardController; MakeBoardController makes one per open board
// (tests may install another factory).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "wb/model/board_event_listener.h"

namespace kiv_core {
class IWhiteBoardNet;
}

namespace kiv_wb {

class IBoardCanvas;
class IEditView;

class IBoardController {
 public:
  virtual ~IBoardController() = default;

  // The board's id, the engine as the board's listener, the window's canvas (shared with the
  // window: calls in flight on other threads keep a replaced canvas alive) and editor (null
  // without a window; used on the window's thread only) and the network adapter.
  virtual void Attach(const std::string& boardId, ICoreBoardEventListener* listener,
                      std::shared_ptr<IBoardCanvas> canvas, kiv_core::IWhiteBoardNet* net, IEditView* editView) = 0;
  // A board message received on the board's stream (text and its NUL byte).
  virtual void OnNetMsg(const uint8_t* data, uint32_t length) = 0;
  virtual void Redraw() = 0;
  // Asks the window to redraw on its own thread (from any thread).
  virtual void RequestRedraw() = 0;
  virtual void OnMouseMove(int x, int y) = 0;
  virtual void OnMouseDown(int x, int y) = 0;
  virtual void OnMouseUp(int x, int y) = 0;
  virtual bool OnDoubleClick(int x, int y) = 0;

  virtual void SetPageChangeSynMode(bool sync) = 0;
  virtual bool GetPageChangeSynMode() = 0;
  virtual void SetCurrentPage(int pageIndex) = 0;
  virtual int GetCurrentPage() = 0;
  virtual int GetPageCount() = 0;
  virtual void SetGraphType(int graphType) = 0;
  virtual int GetGraphType() = 0;
  virtual void SetOperation(int operation) = 0;
  virtual int GetOperation() = 0;
  virtual void SetLineWidth(int width) = 0;
  virtual int GetLineWidth() = 0;
  virtual void SetLineColor(int argb) = 0;
  virtual int GetLineColor() = 0;
  virtual bool ClearCurrentPage() = 0;
  virtual bool Undo() = 0;
  virtual bool Redo() = 0;
  virtual int GetUndoCount() = 0;
  virtual int GetRedoCount() = 0;
  // Drops the two pending local-command slots (the board is being closed).
  virtual void ResetPendingCommands() = 0;

  // Document boards: the board's type and converted file path, the current page's id, and
  // the local image of a page (false when the board has no page of that id).
  virtual int GetBoardType() = 0;
  virtual std::string GetConvertedFilePath() = 0;
  virtual int GetCurrentPageId() = 0;
  virtual bool GetPageLocalPath(int pageId, std::string* path) = 0;
  virtual bool SetPageLocalPath(int pageId, const std::string& path) = 0;
};

using BoardControllerFactory = std::unique_ptr<IBoardController> (*)();

// A new controller from the installed factory, else the default one.
std::unique_ptr<IBoardController> MakeBoardController();
// Installs another factory (tests); null restores the default. Returns the previous one.
BoardControllerFactory SetBoardControllerFactory(BoardControllerFactory factory);

}  // namespace kiv_wb
