// Drives one open board: turns the board window's mouse gestures into local editing
// commands, sends their updates, keeps the board in step with the server's numbering of the
// board's stream, applies received updates, runs undo and redo over the current page and
// redraws through the painter.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/system/held_lock_count.h"
#include "wb/local_commands/update_command_observer.h"
#include "wb/model/board.h"
#include "wb/model/board_limits.h"
#include "wb/model/edit_settings.h"
#include "wb/model/local_command_base.h"

namespace kiv_core {
class IWhiteBoardNet;
}

namespace kiv_wb {

class IBoardCanvas;
class IEditView;
class ICoreBoardEventListener;
class GraphBase;
class GraphsMoveCommand;
class PathGraphUpdateCommand;

class BoardController : public IUpdateCommandObserver {
 public:
  // Where the controller's log line goes (the whiteboard's "kiv_wb" log); none by default.
  using LogFunction = void (*)(const std::string& line);
  static void SetLogFunction(LogFunction log);

  BoardController();
  ~BoardController() override;
  BoardController(const BoardController&) = delete;
  BoardController& operator=(const BoardController&) = delete;

  void SetBoardId(const std::string& boardId, ICoreBoardEventListener* listener);
  void SetCanvas(IBoardCanvas* canvas);
  void SetEditView(IEditView* view);
  void SetNet(kiv_core::IWhiteBoardNet* net);
  Board& GetBoard() { return m_board; }
  EditSettings& GetEditSettings() { return m_settings; }

  void SetGraphType(int type);
  int GetGraphType() const { return m_settings.GetGraphType(); }
  void SetOperation(int operation);
  int GetOperation() const { return m_settings.GetOperation(); }
  // Held within the widths every board reads.
  void SetLineWidth(int width) { m_settings.SetBrushSize(ClampBrushSize(width)); }
  int GetLineWidth() const { return m_settings.GetBrushSize(); }
  void SetLineColor(uint32_t argb) { m_settings.SetColor(argb); }
  uint32_t GetLineColor() const { return m_settings.GetColor(); }
  void SetPageChangeSynMode(bool sync);
  bool GetPageChangeSynMode() const { return m_board.GetPageChangeSynMode(); }
  void SetCurrentPage(int index);
  int GetCurrentPage() const { return m_board.GetCurrentPageIndex(); }
  bool ClearCurrentPage();
  bool Undo();
  bool Redo();
  int GetUndoCount() const;
  int GetRedoCount() const;

  // Positions in window pixels; left button only.
  void OnMouseDown(int x, int y);
  void OnMouseMove(int x, int y);
  void OnMouseUp(int x, int y);
  bool OnDoubleClick(int x, int y);
  // Draws the board (the window's paint): what did not change comes from the canvas's layer.
  void Redraw();
  // Data received on the board's stream, on a network thread.
  void OnNetMsg(const uint8_t* data, size_t length);
  void ResetCommands();

  // IUpdateCommandObserver
  void OnUpdateCommand(const std::shared_ptr<BoardCommandBase>& command) override;
  void OnLocalCommand(const std::shared_ptr<LocalCommandBase>& command) override;
  void PushUndoCommand(const std::shared_ptr<LocalCommandBase>& command) override;

 private:
  // Holds the controller's lock (drawing, gestures, tool and page changes). What is sent
  // meanwhile is queued and goes out when the thread's outermost hold ends, with no lock held.
  class Hold {
   public:
    explicit Hold(BoardController& controller);
    ~Hold();
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    BoardController& m_controller;
  };
  using ApplyGuard = std::lock_guard<ZORVANTE::CountedLock<std::mutex>>;

  // Runs one gesture step at a window position; true when the command is complete.
  bool RunStep(GesturePhase phase, int x, int y);
  // Redraws after a change of the committed graphs made here.
  void RedrawChanged();
  void FinishCommand();
  void EndCommand(int pageIndex);
  // A page change that arrived from the network ends the gesture here, on the window's
  // thread, the next time the controller runs there.
  void EndCommandAfterRemotePageChange();
  void NoteRemotePageChange(int from);
  std::shared_ptr<LocalCommandBase> MakeCommand() const;
  void SendNetCmd(int id);
  // Queues a text for the board's stream, in order; sent at once unless this thread holds the
  // controller's lock (then when its hold ends). An update is taken back when it is refused.
  void QueueSend(std::string text, bool update, uint32_t cliSeqId, std::weak_ptr<LocalCommandBase> command);
  // Sends what is queued, one thread at a time (another thread's queued texts go out with
  // its own), with no lock of the controller held.
  void DrainSends();
  // False when there is no adapter or it refused the data.
  bool SendText(const std::string& text);
  void OnSequenceNotice(uint32_t seqId, int32_t id);
  void OnUpdateMessage(int32_t id, uint32_t seqId, int32_t editId, uint32_t cliSeqId, const char* text, size_t length);
  void OnFullState(uint32_t seqId, const char* text, size_t length);
  void OnOwnEcho(const char* text, size_t length, bool wasInFlight);
  // By the edit id; while the board has none, an update stamped with an id it does not know
  // is its own when it is one of its updates still on their way.
  bool IsOwnEcho(int32_t editId, uint32_t cliSeqId, const char* text, size_t length);

  EditSettings m_settings;
  Board m_board;
  kiv_core::IWhiteBoardNet* m_net = nullptr;
  ZORVANTE::CountedLock<std::recursive_mutex> m_lock;
  int m_lockDepth = 0;  // under m_lock
  std::atomic<std::thread::id> m_lockOwner{};
  struct Outgoing {
    std::string text;
    bool update;
    uint32_t cliSeqId;
    std::weak_ptr<LocalCommandBase> command;
  };
  ZORVANTE::CountedLock<std::mutex> m_outLock;
  std::deque<Outgoing> m_outbox;  // under m_outLock
  bool m_draining = false;        // under m_outLock
  std::shared_ptr<LocalCommandBase> m_current;
  std::shared_ptr<LocalCommandBase> m_handedOver;
  std::atomic<int> m_remotePageChangeFrom{-1};
  // Own updates are applied when they are made and their echoes skipped. A full state
  // replaces the board with the server's copy, which lacks the own updates still on their
  // way (sent, echo not yet back): those are applied again on top of it.
  struct InFlight {
    uint32_t cliSeqId;
    std::string text;
    std::weak_ptr<LocalCommandBase> command;  // the local command that made it, if any
    // A move: the ids of the graphs it moved here (one entry per time it names one), as the
    // server moves them only where they stay within the bounds.
    std::vector<int> moved;
  };
  // Applies an own move graph by graph, noting what it moved; only graph `only` when >= 0.
  void ApplyOwnMove(InFlight& update, const GraphsMoveCommand& move, int only = -1);
  static constexpr size_t kMaxInFlight = 4096;
  // Every one after a full state; only the graph updates and moves of a page after its clear
  // (a page update of another page or a move elsewhere would be applied twice).
  // Page adds are not replayed: after a full state AddInFlightPages brings the board to the
  // state's pages and the own adds still on their way.
  void ReplayInFlight(int pageId = -1);
  void AddInFlightPages(int statePages);
  // After another participant's update that replaced a graph (`before` is the graph it found),
  // or set a line's points: the own updates of that graph still on their way, which the server
  // applies after it.
  void ReplayInFlightOn(const BoardCommandBase& remote, const std::shared_ptr<GraphBase>& before);
  void ReplayInFlightFor(int pid, int gid);
  // Around another participant's curve modify, which the server applies before the own moves
  // of that curve still on their way: those taken back from the curve, then made again (each
  // moves it only where it stays within the bounds, as at the server). True when any names it.
  bool TakeBackOwnMoves(int pid, int gid);
  // Another participant's move, which the server made before the own moves still on their way.
  void ApplyOthersMove(const GraphsMoveCommand& move);
  void MakeOwnMovesAgain(int pid, int gid);
  bool IsLine(int pid, int gid) const;
  // Another participant's curve added to the current page, or grown: what it was before the
  // update, then the area of the page it changed (drawn again onto the kept layer).
  struct PathChange {
    bool patchable = false;
    bool existed = false;
    size_t count = 0;
    IntPoint last;
    BoardPainter::Damage damage;
  };
  PathChange PathBefore(const PathGraphUpdateCommand& path) const;
  void PathAfter(const PathGraphUpdateCommand& path, PathChange* change) const;
  // True when the update with that number was still on its way.
  bool DropEchoed(uint32_t cliSeqId);
  // An own update the server or the connection refused: taken back with its undo step, and the
  // board rebuilt from the server's copy, so that it holds what every other board holds.
  void OnRefused(const char* text, size_t length);
  void TakeBack(uint32_t cliSeqId, const std::shared_ptr<LocalCommandBase>& command);
  // The local command whose step, undo or redo is running (window thread, under m_lock).
  std::shared_ptr<LocalCommandBase> m_sendingFor;
  ZORVANTE::CountedLock<std::mutex> m_applyLock;
  std::deque<InFlight> m_inFlight;
};

}  // namespace kiv_wb
