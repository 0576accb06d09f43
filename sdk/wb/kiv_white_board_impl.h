// The whiteboard as the application sees it: the public interface over the board engine,
// the engine's reports turned into the application's events, and one child window per
// opened board inside a parent the application gives.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "base/system/callback_slot.h"
#include "kiv_white_board.h"
#include "wb/board_engine.h"

namespace kiv_core {
class IWhiteBoardNet;
}

namespace kiv {

class KivWhiteBoardImpl : public IKivWhiteBoard, public kiv_wb::IBoardEngineListener {
 public:
  // One opened board's window and views; owned here, the canvas shared with the board's
  // controller (a call in flight on another thread keeps it until it returns).
  struct BoardWindow {
    std::shared_ptr<kiv_wb::IBoardCanvas> canvas;
    kiv_wb::IEditView* editView = nullptr;
    HWND window = nullptr;
  };

  KivWhiteBoardImpl() = default;
  // Boards still open keep their windows until here: they are cut off from this object
  // first, then destroyed after the engine.
  virtual ~KivWhiteBoardImpl();
  KivWhiteBoardImpl(const KivWhiteBoardImpl&) = delete;
  KivWhiteBoardImpl& operator=(const KivWhiteBoardImpl&) = delete;

  // After a successful engine Init: the core's network adapter and the work directory.
  void Init(kiv_core::IWhiteBoardNet* net, const std::string& workDir);
  // After each successful Login.
  void OnLogin(const std::string& userId);
  // At the start of LeaveGroup: closes every opened board and its window.
  void CloseAllBoards();

  // IKivWhiteBoard
  void SetEventHandler(IKivWhiteBoardEventHandler* handler) override;
  int Create(const CreateParam* param) override;
  int Destroy(const char* boardId) override;
  int Open(const char* boardId, HWND parent) override;
  int Close(const char* boardId) override;
  HWND GetWindow(const char* boardId) override;
  void SetPageChangeSynMode(const char* boardId, bool sync) override;
  bool GetPageChangeSynMode(const char* boardId) override;
  void SetCurrentPage(const char* boardId, int pageIndex) override;
  int GetCurrentPage(const char* boardId) override;
  int GetPageCount(const char* boardId) override;
  void SetGraphType(const char* boardId, int graphType) override;
  int GetGraphType(const char* boardId) override;
  void SetOperation(const char* boardId, int operation) override;
  int GetOperation(const char* boardId) override;
  void SetLineWidth(const char* boardId, int width) override;
  int GetLineWidth(const char* boardId) override;
  void SetLineColor(const char* boardId, int argb) override;
  int GetLineColor(const char* boardId) override;
  int ClearCurrentPage(const char* boardId) override;
  bool Undo(const char* boardId) override;
  bool Redo(const char* boardId) override;
  int GetUndoCount(const char* boardId) override;
  int GetRedoCount(const char* boardId) override;

  // kiv_wb::IBoardEngineListener
  void OnCreateResult(bool ok, const std::string& name, const std::string& boardId) override;
  void OnRemoteBoardMedia(const std::string& mediaName, const std::string& boardId, bool published) override;
  void OnPageChanged(const std::string& boardId, int pageId) override;
  void OnBoardEvent(int kind, int error) override;
  void OnBoardInfo(const std::string& boardId, const kiv_wb::BoardInfo& info, int currentPageId) override;

  // The board window's messages.
  LRESULT OnWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // For information only: never called through.
  IKivWhiteBoardEventHandler* EventHandler() const { return m_handler.Peek(); }
  kiv_wb::BoardEngine& Engine() { return m_engine; }

 private:
  // Destroys the windows and views still in it when it goes.
  struct BoardWindows : std::map<std::string, BoardWindow> {
    BoardWindows() = default;
    BoardWindows(const BoardWindows&) = delete;
    BoardWindows& operator=(const BoardWindows&) = delete;
    ~BoardWindows();
  };

  BoardWindows m_windows;  // the application's UI thread only
  // Set on the application's thread, called on whichever thread raises an event; it outlives
  // the engine, whose threads raise events until it has joined them.
  ZORVANTE::CallbackSlot<IKivWhiteBoardEventHandler> m_handler;
  kiv_wb::BoardEngine m_engine;
};

}  // namespace kiv
