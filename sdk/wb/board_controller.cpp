#include "wb/board_controller.h"

#include <algorithm>
#include <cstdio>

#include <rapidjson/document.h>

#include "core/white_board_net.h"
#include "protocol/wire/json_reader.h"
#include "wb/board_engine_controller.h"
#include "wb/local_commands/four_point_graph_local_command.h"
#include "wb/local_commands/graph_delete_local_command.h"
#include "wb/local_commands/graph_select_local_command.h"
#include "wb/local_commands/path_graph_local_command.h"
#include "wb/local_commands/text_graph_local_command.h"
#include "wb/message/board_message.h"
#include "wb/message/board_net_cmd_id.h"
#include "wb/message/update_commands.h"
#include "wb/model/graph_base.h"
#include "wb/model/graph_line.h"

namespace kiv_wb {
namespace {

std::atomic<BoardController::LogFunction> g_log{nullptr};

void Log(const std::string& line) {
  if (BoardController::LogFunction log = g_log.load()) {
    log(line);
  }
}

// The update without what the server sets on its way: its sequence id and the edit id.
bool ReadRelayed(const char* text, size_t length, rapidjson::Document* doc) {
  while (length > 0 && text[length - 1] == '\0') {
    --length;
  }
  doc->Parse(text, length);
  if (doc->HasParseError() || !doc->IsObject()) {
    return false;
  }
  doc->RemoveMember("seq_id");
  doc->RemoveMember("edit_id");
  return true;
}

// True when the relayed text carries the update that was sent as `sent`.
bool SameUpdate(const std::string& sent, const char* relayed, size_t length) {
  rapidjson::Document a;
  rapidjson::Document b;
  return ReadRelayed(sent.c_str(), sent.size(), &a) && ReadRelayed(relayed, length, &b) && a == b;
}

// Names the local command whose updates are being made while it lives.
class Sending {
 public:
  Sending(std::shared_ptr<LocalCommandBase>& slot, const std::shared_ptr<LocalCommandBase>& command) : m_slot(slot) {
    m_slot = command;
  }
  ~Sending() { m_slot.reset(); }
  Sending(const Sending&) = delete;
  Sending& operator=(const Sending&) = delete;

 private:
  std::shared_ptr<LocalCommandBase>& m_slot;
};

bool IsPageAdd(const BoardCommandBase& command) {
  auto* page = dynamic_cast<const PageUpdateCommand*>(&command);
  return page && page->action == kPageAdd;
}

// The graph a line, curve or text update names; -1 for another update.
int GraphUpdateId(const BoardCommandBase& command) {
  if (auto* line = dynamic_cast<const FourPointGraphUpdateCommand*>(&command)) {
    return line->gid;
  }
  if (auto* path = dynamic_cast<const PathGraphUpdateCommand*>(&command)) {
    return path->gid;
  }
  if (auto* text = dynamic_cast<const TextGraphUpdateCommand*>(&command)) {
    return text->gid;
  }
  return -1;
}

// The page a graph update or a move changes; -1 for a page update.
int GraphUpdatePage(const BoardCommandBase& command) {
  if (auto* line = dynamic_cast<const FourPointGraphUpdateCommand*>(&command)) {
    return line->pid;
  }
  if (auto* path = dynamic_cast<const PathGraphUpdateCommand*>(&command)) {
    return path->pid;
  }
  if (auto* text = dynamic_cast<const TextGraphUpdateCommand*>(&command)) {
    return text->pid;
  }
  if (auto* move = dynamic_cast<const GraphsMoveCommand*>(&command)) {
    return move->pid;
  }
  return -1;
}

}  // namespace

void BoardController::SetLogFunction(LogFunction log) { g_log = log; }

BoardController::BoardController()
    : m_settings(static_cast<uint32_t>(EditSettings::SteadyMicroseconds()), this), m_board(&m_settings) {}

BoardController::~BoardController() = default;

void BoardController::SetBoardId(const std::string& boardId, ICoreBoardEventListener* listener) {
  m_board.SetEventListener(listener);
  m_board.SetBoardId(boardId);
}

void BoardController::SetCanvas(IBoardCanvas* canvas) { m_board.GetPainter().SetCanvas(canvas); }

void BoardController::SetEditView(IEditView* view) { m_board.GetPainter().SetEditView(view); }

void BoardController::SetNet(kiv_core::IWhiteBoardNet* net) { m_net = net; }

void BoardController::SetGraphType(int type) {
  Hold hold(*this);
  if (type != m_settings.GetGraphType()) {
    EndCommand(m_board.GetCurrentPageIndex());
    RedrawChanged();
  }
  m_settings.SetGraphType(type);
}

void BoardController::SetOperation(int operation) {
  Hold hold(*this);
  if (operation != m_settings.GetOperation()) {
    EndCommand(m_board.GetCurrentPageIndex());
    RedrawChanged();
  }
  if (operation != kOpDraw) {
    m_settings.SetGraphType(kGraphNone);
  }
  m_settings.SetOperation(operation);
  if (m_board.GetEditId() == 0) {
    SendNetCmd(kBoardEditIdRequest);
  }
}

void BoardController::SetPageChangeSynMode(bool sync) {
  Hold hold(*this);
  if (sync && !m_board.GetPageChangeSynMode()) {
    m_board.ApplyRemotePageIndex();
    RedrawChanged();
  }
  m_board.SetPageChangeSynMode(sync);
}

void BoardController::SetCurrentPage(int index) {
  Hold hold(*this);
  EndCommand(m_board.GetCurrentPageIndex());
  if (index < 0 || index >= m_board.GetPageCount()) {
    return;
  }
  if (m_board.GetPageChangeSynMode()) {
    OnUpdateCommand(std::make_shared<PageUpdateCommand>(
        m_board.NextCliSeqId(), static_cast<uint32_t>(m_board.GetEditId()), kPageSwitch, index));
  } else {
    m_board.SetCurrentPageIndex(index);
  }
  RedrawChanged();
}

bool BoardController::ClearCurrentPage() {
  Hold hold(*this);
  OnUpdateCommand(std::make_shared<PageUpdateCommand>(
      m_board.NextCliSeqId(), static_cast<uint32_t>(m_board.GetEditId()), kPageClear, m_board.GetCurrentPageIndex()));
  RedrawChanged();
  return true;
}

bool BoardController::Undo() {
  Hold hold(*this);
  EndCommandAfterRemotePageChange();
  if (auto page = m_board.GetCurrentPage()) {
    if (auto command = page->PopUndo()) {
      Sending sending(m_sendingFor, command);
      if (command->IsReverse()) {
        command->Apply(m_board);
      } else {
        command->Revert(m_board);
      }
      page->PushRedo(command);
      page->ClearSelection();
    }
  }
  RedrawChanged();
  return true;
}

bool BoardController::Redo() {
  Hold hold(*this);
  EndCommandAfterRemotePageChange();
  if (auto page = m_board.GetCurrentPage()) {
    if (auto command = page->PopRedo()) {
      Sending sending(m_sendingFor, command);
      if (command->IsReverse()) {
        command->Revert(m_board);
      } else {
        command->Apply(m_board);
      }
      page->PushUndoFromRedo(command);
      page->ClearSelection();
    }
  }
  RedrawChanged();
  return true;
}

int BoardController::GetUndoCount() const {
  auto page = m_board.GetCurrentPage();
  return page ? page->GetUndoCount() : 0;
}

int BoardController::GetRedoCount() const {
  auto page = m_board.GetCurrentPage();
  return page ? page->GetRedoCount() : 0;
}

std::shared_ptr<LocalCommandBase> BoardController::MakeCommand() const {
  switch (m_settings.GetOperation()) {
    case kOpDraw:
      switch (m_settings.GetGraphType()) {
        case kGraphLine:
          return std::make_shared<FourPointGraphLocalCommand>();
        case kGraphPath:
          return std::make_shared<PathGraphLocalCommand>();
        case kGraphText:
          return std::make_shared<TextGraphLocalCommand>();
        default:
          return nullptr;
      }
    case kOpSelect:
      return std::make_shared<GraphSelectLocalCommand>();
    case kOpDelete:
      return std::make_shared<GraphDeleteLocalCommand>();
    default:
      return nullptr;
  }
}

bool BoardController::RunStep(GesturePhase phase, int x, int y) {
  BoardPainter& painter = m_board.GetPainter();
  m_current->SetStep(phase, painter.ToBoardX(x), painter.ToBoardY(y));
  Sending sending(m_sendingFor, m_current);
  return m_current->Execute(m_board);
}

void BoardController::FinishCommand() {
  // A remote page change during the gesture's last step leaves it on the page it was made on.
  const int from = m_remotePageChangeFrom.exchange(-1);
  auto page = m_board.GetCurrentPage();
  auto made = from >= 0 ? m_board.FindPage(from) : page;
  if (m_current && made) {
    made->PushUndo(m_current);
  }
  m_current.reset();
  if (page) {
    page->ClearSelection();
  }
  RedrawChanged();
}

void BoardController::EndCommand(int pageIndex) {
  // A gesture that a remote page change cut belongs to the page it was made on.
  const int from = m_remotePageChangeFrom.exchange(-1);
  if (from >= 0) {
    pageIndex = from;
  }
  if (m_current && m_settings.GetOperation() == kOpDraw) {
    Sending sending(m_sendingFor, m_current);
    if (m_settings.GetGraphType() == kGraphText && !m_current->Apply(m_board)) {
      m_current.reset();
    } else if (m_settings.GetGraphType() == kGraphLine || m_settings.GetGraphType() == kGraphPath) {
      m_current->Release(m_board);
    }
    if (m_current) {
      if (auto page = m_board.FindPage(pageIndex)) {
        page->PushUndo(m_current);
      }
    }
  }
  m_current.reset();
  if (auto page = m_board.GetCurrentPage()) {
    page->ClearSelection();
  }
}

void BoardController::EndCommandAfterRemotePageChange() {
  if (m_remotePageChangeFrom.load() >= 0) {
    EndCommand(m_board.GetCurrentPageIndex());
  }
}

void BoardController::NoteRemotePageChange(int from) {
  // Until the window's thread ends the gesture, later changes keep the page it was made on.
  int none = -1;
  m_remotePageChangeFrom.compare_exchange_strong(none, from);
}

void BoardController::OnMouseDown(int x, int y) {
  Hold hold(*this);
  EndCommandAfterRemotePageChange();
  if (m_handedOver) {
    FinishCommand();
    m_current = std::move(m_handedOver);
    m_handedOver.reset();
  } else if (m_current) {
    const int type = m_settings.GetGraphType();
    if (type == kGraphPath || type == kGraphLine) {
      FinishCommand();
      return;
    }
  }
  if (!m_current) {
    m_current = MakeCommand();
    if (!m_current) {
      return;
    }
  }
  m_current->SetSettings(&m_settings);
  if (RunStep(kPhasePress, x, y)) {
    FinishCommand();
  } else {
    Redraw();
  }
}

void BoardController::OnMouseMove(int x, int y) {
  Hold hold(*this);
  EndCommandAfterRemotePageChange();
  if (!m_current) {
    return;
  }
  if (RunStep(kPhaseDrag, x, y)) {
    FinishCommand();
  } else if (m_settings.GetOperation() != kOpSelect && m_settings.GetGraphType() != kGraphText) {
    Redraw();
  }
}

void BoardController::OnMouseUp(int x, int y) {
  Hold hold(*this);
  EndCommandAfterRemotePageChange();
  if (!m_current) {
    return;
  }
  if (RunStep(kPhaseRelease, x, y)) {
    if (m_settings.GetOperation() == kOpDraw && m_settings.GetGraphType() == kGraphText) {
      m_current.reset();
    }
    FinishCommand();
  } else {
    Redraw();
  }
}

bool BoardController::OnDoubleClick(int x, int y) {
  Hold hold(*this);
  EndCommandAfterRemotePageChange();
  if (m_settings.GetOperation() != kOpSelect || !m_current) {
    return false;
  }
  if (RunStep(kPhaseDoubleClick, x, y)) {
    m_current.reset();
    FinishCommand();
  } else {
    Redraw();
  }
  return true;
}

void BoardController::RedrawChanged() {
  m_board.GetPainter().InvalidateLayer();
  Redraw();
}

void BoardController::Redraw() {
  Hold hold(*this);
  EndCommandAfterRemotePageChange();
  BoardPainter& painter = m_board.GetPainter();
  painter.BeginDraw();
  // The committed graphs come from the canvas's layer until something changes them: while
  // no gesture runs, and while a free-hand stroke is drawn (it only grows, and is drawn whole
  // over the page). Where only another participant's curves changed, just their area of the
  // layer is drawn again.
  auto page = m_board.GetCurrentPage();
  const bool stroke =
      m_current && page && m_settings.GetOperation() == kOpDraw && m_settings.GetGraphType() == kGraphPath;
  if (!page || (m_current && !stroke)) {
    painter.InvalidateLayer();
    m_board.DrawCurrentPage();
  } else {
    const int pageIndex = m_board.GetCurrentPageIndex();
    const BoardPainter::Damage damage = painter.TakeDamage(pageIndex);
    const void* owner = stroke ? m_current.get() : nullptr;
    if (painter.BeginCommittedLayer(owner, page->GetGraphCount(), pageIndex, damage.added)) {
      m_board.DrawCurrentPage();
      painter.EndCommittedLayer();
    } else if (!damage.area.IsEmpty()) {
      if (painter.ClipTo(damage)) {
        page->DrawArea(painter, damage.area, damage.brushSize);
        painter.ResetClip();
      } else {
        m_board.DrawCurrentPage();
      }
      painter.EndCommittedLayer();
    }
  }
  if (m_current) {
    if (auto graph = m_current->GetDrawingGraph()) {
      graph->Draw(painter);
    }
  }
  painter.EndDraw();
}

void BoardController::ResetCommands() {
  Hold hold(*this);
  m_current.reset();
  m_handedOver.reset();
}

void BoardController::OnUpdateCommand(const std::shared_ptr<BoardCommandBase>& command) {
  const std::string text = command->ToJson();
  const uint32_t cliSeqId = ReadBoardMsgHeader(text.c_str(), text.size()).cli_seq_id;
  {
    ApplyGuard guard(m_applyLock);
    if (m_inFlight.size() >= kMaxInFlight) {
      m_inFlight.pop_front();
    }
    m_inFlight.push_back(InFlight{cliSeqId, text, m_sendingFor, {}});
    if (auto* move = dynamic_cast<const GraphsMoveCommand*>(command.get())) {
      ApplyOwnMove(m_inFlight.back(), *move);
    } else {
      command->Apply(m_board);
    }
  }
  if (m_net) {
    QueueSend(text, true, cliSeqId, m_sendingFor);
    return;
  }
  // Never reaches the others: not applied again after a full state.
  ApplyGuard guard(m_applyLock);
  for (auto it = m_inFlight.begin(); it != m_inFlight.end(); ++it) {
    if (it->cliSeqId == cliSeqId) {
      m_inFlight.erase(it);
      break;
    }
  }
}

void BoardController::OnRefused(const char* text, size_t length) {
  rapidjson::Document doc;
  if (!ParseBoardJson(text, length, doc)) {
    return;
  }
  const uint32_t cliSeqId = GetJsonUint(doc, "cli_seq_id", 0);
  const char* why = GetJsonString(doc, "msg");
  char line[320];
  std::snprintf(line, sizeof(line), "BoardController: update %u refused by the server (%d): %.200s", cliSeqId,
                GetJsonInt(doc, "code", -1), why ? why : "");
  Log(line);
  std::shared_ptr<LocalCommandBase> command;
  {
    ApplyGuard guard(m_applyLock);
    for (const InFlight& update : m_inFlight) {
      if (cliSeqId != 0 && update.cliSeqId == cliSeqId) {
        command = update.command.lock();
        break;
      }
    }
  }
  TakeBack(cliSeqId, command);
}

void BoardController::TakeBack(uint32_t cliSeqId, const std::shared_ptr<LocalCommandBase>& command) {
  {
    ApplyGuard guard(m_applyLock);
    for (auto it = m_inFlight.begin(); it != m_inFlight.end(); ++it) {
      if (cliSeqId != 0 && it->cliSeqId == cliSeqId) {
        m_inFlight.erase(it);
        break;
      }
    }
  }
  if (command) {
    for (int id = 0; id < m_board.GetPageCount(); ++id) {
      if (auto page = m_board.FindPage(id)) {
        page->ForgetCommand(command);
      }
    }
  }
  // The server's copy lacks the update; the own ones still on their way follow it again.
  SendNetCmd(kBoardFullStateRequest);
}

void BoardController::ReplayInFlight(int pageId) {
  for (InFlight& update : m_inFlight) {
    auto command = ParseBoardCommand(update.text.c_str(), update.text.size(), &m_board);
    if (!command || (pageId >= 0 && GraphUpdatePage(*command) != pageId) || IsPageAdd(*command)) {
      continue;
    }
    if (auto* move = dynamic_cast<const GraphsMoveCommand*>(command.get())) {
      ApplyOwnMove(update, *move);
    } else {
      command->Apply(m_board);
    }
  }
}

void BoardController::AddInFlightPages(int statePages) {
  int adds = 0;
  for (const InFlight& update : m_inFlight) {
    auto command = ParseBoardCommand(update.text.c_str(), update.text.size(), &m_board);
    adds += command && IsPageAdd(*command) ? 1 : 0;
  }
  // The board holds the pages it added itself already (a board never loses a page).
  while (m_board.GetPageCount() < std::min(statePages + adds, kMaxPageCount)) {
    m_board.AddPage(std::make_shared<Page>(m_board.GetPageCount(), &m_board));
  }
}

bool BoardController::DropEchoed(uint32_t cliSeqId) {
  ApplyGuard guard(m_applyLock);
  bool found = false;
  while (!m_inFlight.empty() && m_inFlight.front().cliSeqId <= cliSeqId) {
    found = found || m_inFlight.front().cliSeqId == cliSeqId;
    m_inFlight.pop_front();
  }
  return found;
}

void BoardController::OnLocalCommand(const std::shared_ptr<LocalCommandBase>& command) { m_handedOver = command; }

void BoardController::PushUndoCommand(const std::shared_ptr<LocalCommandBase>& command) {
  if (auto page = m_board.GetCurrentPage()) {
    page->PushUndo(command);
  }
}

BoardController::Hold::Hold(BoardController& controller) : m_controller(controller) {
  m_controller.m_lock.lock();
  if (m_controller.m_lockDepth++ == 0) {
    m_controller.m_lockOwner.store(std::this_thread::get_id());
  }
}

BoardController::Hold::~Hold() {
  const bool outermost = --m_controller.m_lockDepth == 0;
  if (outermost) {
    m_controller.m_lockOwner.store(std::thread::id());
  }
  m_controller.m_lock.unlock();
  if (outermost) {
    m_controller.DrainSends();
  }
}

void BoardController::QueueSend(std::string text, bool update, uint32_t cliSeqId,
                                std::weak_ptr<LocalCommandBase> command) {
  {
    std::lock_guard<ZORVANTE::CountedLock<std::mutex>> guard(m_outLock);
    m_outbox.push_back(Outgoing{std::move(text), update, cliSeqId, std::move(command)});
  }
  if (m_lockOwner.load() != std::this_thread::get_id()) {
    DrainSends();
  }
}

void BoardController::DrainSends() {
  std::unique_lock<ZORVANTE::CountedLock<std::mutex>> lock(m_outLock);
  if (m_draining) {
    return;
  }
  m_draining = true;
  while (!m_outbox.empty()) {
    Outgoing next = std::move(m_outbox.front());
    m_outbox.pop_front();
    lock.unlock();
    if (!SendText(next.text) && next.update) {
      // Refused by the adapter: it never reaches the others, so it is taken back.
      char line[96];
      std::snprintf(line, sizeof(line), "BoardController: update %u not sent, taken back", next.cliSeqId);
      Log(line);
      TakeBack(next.cliSeqId, next.command.lock());
    }
    lock.lock();
  }
  m_draining = false;
}

bool BoardController::SendText(const std::string& text) {
  if (!m_net) {
    return false;
  }
  return m_net->SendBoardData(m_board.GetBoardId().c_str(), reinterpret_cast<const uint8_t*>(text.c_str()),
                              static_cast<uint32_t>(text.size() + 1)) == 0;
}

void BoardController::SendNetCmd(int id) {
  if (id != kBoardEditIdRequest && id != kBoardFullStateRequest) {
    return;
  }
  QueueSend(WriteBoardIdRequest(id), false, 0, {});
}

void BoardController::OnNetMsg(const uint8_t* data, size_t length) {
  const char* text = reinterpret_cast<const char*>(data);
  const BoardMsgHeader header = ReadBoardMsgHeader(text, length);
  switch (header.id) {
    case kBoardSeqNotice:
      OnSequenceNotice(header.seq_id, header.id);
      break;
    case kBoardEditId:
      if (header.edit_id >= 1) {
        m_board.SetEditId(header.edit_id);
      }
      break;
    case kBoardFullState:
      OnFullState(header.seq_id, text, length);
      break;
    case kBoardRefused:
      OnRefused(text, length);
      break;
    case kBoardPageUpdate:
    case kBoardGraphsMove:
    case kBoardLineUpdate:
    case kBoardCurveUpdate:
    case kBoardTextUpdate:
      OnUpdateMessage(header.id, header.seq_id, header.edit_id, header.cli_seq_id, text, length);
      break;
    default:
      break;
  }
}

void BoardController::OnSequenceNotice(uint32_t seqId, int32_t id) {
  const uint32_t expected = m_board.GetNextSeqId();
  if (seqId == expected && seqId != 1) {
    m_board.SetNextSeqId(seqId + 1);
    return;
  }
  SendNetCmd(kBoardFullStateRequest);
  if (m_board.GetEditId() == 0) {
    SendNetCmd(kBoardEditIdRequest);
  }
  char line[160];
  std::snprintf(line, sizeof(line), "BoardController::OnNetMsg,nCmdId:%d, nSeqId:%u, LocalNextSeqId:%u.", id, seqId,
                expected);
  Log(line);
  m_board.SetNextSeqId(seqId + 1);
}

void BoardController::OnFullState(uint32_t seqId, const char* text, size_t length) {
  auto commands = ParseBoardFullSync(text, length, &m_board);
  if (commands.empty()) {
    return;
  }
  std::vector<BoardSyncReport> reports;
  {
    // A new board size replaces the canvas's back buffer: not while the window draws on it.
    Hold drawing(*this);
    const int before = m_board.GetCurrentPageIndex();
    {
      ApplyGuard guard(m_applyLock);
      m_board.HoldSyncReports();
      int statePages = m_board.GetPageCount();
      for (auto& command : commands) {
        if (command) {
          if (auto* board = dynamic_cast<BoardFullUpdateCommand*>(command.get())) {
            statePages = board->page;
          }
          command->Apply(m_board);
        }
      }
      AddInFlightPages(statePages);
      ReplayInFlight();
      reports = m_board.TakeSyncReports();
    }
    if (m_board.GetCurrentPageIndex() != before) {
      NoteRemotePageChange(before);
    }
  }
  m_board.GetPainter().Invalidate();
  m_board.SetNextSeqId(seqId + 1);
  // The listener reaches the application's handler, which may call back into this board.
  if (ICoreBoardEventListener* listener = m_board.GetEventListener()) {
    for (const BoardSyncReport& report : reports) {
      listener->OnBoardSynUpdate(report.boardId, report.info, report.currentPageId);
    }
  }
}

void BoardController::OnUpdateMessage(int32_t id, uint32_t seqId, int32_t editId, uint32_t cliSeqId, const char* text,
                                      size_t length) {
  if (seqId != m_board.GetNextSeqId() || seqId == 1) {
    if (m_board.GetEditId() == 0) {
      SendNetCmd(kBoardEditIdRequest);
    }
    SendNetCmd(kBoardFullStateRequest);
  }
  m_board.SetNextSeqId(seqId + 1);
  if (IsOwnEcho(editId, cliSeqId, text, length)) {
    OnOwnEcho(text, length, DropEchoed(cliSeqId));
    return;
  }
  auto command = ParseBoardCommand(text, length, &m_board);
  if (!command) {
    return;
  }
  if (id == kBoardPageUpdate) {
    const int before = m_board.GetCurrentPageIndex();
    auto* page = dynamic_cast<PageUpdateCommand*>(command.get());
    if (page && page->action == kPageClear) {
      // The clear came first at the server: own updates of that page still on their way follow it.
      ApplyGuard guard(m_applyLock);
      command->Apply(m_board);
      ReplayInFlight(page->pid);
    } else {
      command->Apply(m_board);
    }
    const int after = m_board.GetCurrentPageIndex();
    if (after != before) {
      NoteRemotePageChange(before);
      if (ICoreBoardEventListener* listener = m_board.GetEventListener()) {
        listener->OnRemoteChangePage(m_board.GetBoardId(), after);
      }
    }
  } else {
    auto* path = dynamic_cast<PathGraphUpdateCommand*>(command.get());
    PathChange change;
    {
      ApplyGuard guard(m_applyLock);
      auto updated = m_board.FindPage(GraphUpdatePage(*command));
      const std::shared_ptr<GraphBase> before =
          updated ? updated->FindGraph(static_cast<uint32_t>(GraphUpdateId(*command))) : nullptr;
      const bool moved = path && path->action == kGraphModify && TakeBackOwnMoves(path->pid, path->gid);
      if (path && !moved) {
        change = PathBefore(*path);
      }
      if (auto* move = dynamic_cast<const GraphsMoveCommand*>(command.get())) {
        ApplyOthersMove(*move);
      } else {
        command->Apply(m_board);
      }
      if (moved) {
        MakeOwnMovesAgain(path->pid, path->gid);
      }
      ReplayInFlightOn(*command, before);
      if (path && !moved) {
        PathAfter(*path, &change);
      }
    }
    if (change.patchable) {
      m_board.GetPainter().InvalidateArea(change.damage);
      return;
    }
  }
  m_board.GetPainter().Invalidate();
}

BoardController::PathChange BoardController::PathBefore(const PathGraphUpdateCommand& path) const {
  PathChange change;
  auto page = m_board.FindPage(path.pid);
  if (!page || path.pid != m_board.GetCurrentPageIndex()) {
    return change;
  }
  const uint32_t gid = static_cast<uint32_t>(path.gid);
  change.existed = page->GetPathEnd(gid, &change.count, &change.last);
  change.patchable = (path.action == kGraphAdd && !change.existed && !page->FindGraph(gid)) ||
                     (path.action == kGraphModify && change.existed);
  if (change.existed) {
    // The segments whose control points the new points can change, as drawn so far.
    int brush = 0;
    change.damage.area = page->GetPathPartRect(gid, change.count >= 4 ? change.count - 4 : 0, &brush);
  }
  return change;
}

void BoardController::PathAfter(const PathGraphUpdateCommand& path, PathChange* change) const {
  auto page = m_board.FindPage(path.pid);
  const uint32_t gid = static_cast<uint32_t>(path.gid);
  size_t count = 0;
  IntPoint last;
  if (!change->patchable || !page || path.pid != m_board.GetCurrentPageIndex() ||
      !page->GetPathEnd(gid, &count, &last) || count < change->count) {
    change->patchable = false;
    return;
  }
  // The new points and the segments before them whose control points they change.
  const size_t from = change->count >= 3 ? change->count - 3 : 0;
  int brush = 0;
  const BoardRect now = page->GetPathPartRect(gid, from, &brush);
  change->damage.page = path.pid;
  change->damage.area.Unite(now);
  change->damage.brushSize = brush;
  change->damage.added = path.action == kGraphAdd ? 1 : 0;
  change->patchable = !change->damage.area.IsEmpty();
}

void BoardController::ReplayInFlightOn(const BoardCommandBase& remote, const std::shared_ptr<GraphBase>& before) {
  const int pid = GraphUpdatePage(remote);
  const int gid = GraphUpdateId(remote);
  auto page = m_board.FindPage(pid);
  if (!page || gid == -1) {
    return;
  }
  // Replaced by another graph (an update the boards ignore replaces nothing), or a line's
  // points set.
  const bool replaced = page->FindGraph(static_cast<uint32_t>(gid)) != before;
  auto* line = dynamic_cast<const FourPointGraphUpdateCommand*>(&remote);
  if (replaced || (line && line->action == kGraphModify && IsLine(pid, gid))) {
    ReplayInFlightFor(pid, gid);
  }
}

bool BoardController::IsLine(int pid, int gid) const {
  auto page = m_board.FindPage(pid);
  auto graph = page ? page->FindGraph(static_cast<uint32_t>(gid)) : nullptr;
  return graph && graph->GetKind() == GraphLine::kKind;
}

void BoardController::ApplyOwnMove(InFlight& update, const GraphsMoveCommand& move, int only) {
  auto page = m_board.FindPage(move.pid);
  if (only >= 0) {
    update.moved.erase(std::remove(update.moved.begin(), update.moved.end(), only), update.moved.end());
  } else {
    update.moved.clear();
  }
  for (int id : move.graphs) {
    if ((only < 0 || id == only) && page && page->MoveGraph(static_cast<uint32_t>(id), move.ox, move.oy)) {
      update.moved.push_back(id);
    }
  }
}

void BoardController::ApplyOthersMove(const GraphsMoveCommand& move) {
  auto page = m_board.FindPage(move.pid);
  if (!page) {
    return;
  }
  // The server moved each graph before the own moves of it still on their way.
  for (int id : move.graphs) {
    const bool taken = TakeBackOwnMoves(move.pid, id);
    page->MoveGraph(static_cast<uint32_t>(id), move.ox, move.oy);
    if (taken) {
      MakeOwnMovesAgain(move.pid, id);
    }
  }
}

bool BoardController::TakeBackOwnMoves(int pid, int gid) {
  auto page = m_board.FindPage(pid);
  bool any = false;
  for (auto it = m_inFlight.rbegin(); page && it != m_inFlight.rend(); ++it) {
    auto command = ParseBoardCommand(it->text.c_str(), it->text.size(), &m_board);
    auto* move = dynamic_cast<const GraphsMoveCommand*>(command.get());
    if (!move || move->pid != pid) {
      continue;
    }
    any = any || std::find(move->graphs.begin(), move->graphs.end(), gid) != move->graphs.end();
    for (int id : it->moved) {
      if (id == gid) {
        page->MoveGraph(static_cast<uint32_t>(gid), -move->ox, -move->oy);
      }
    }
  }
  return any;
}

void BoardController::MakeOwnMovesAgain(int pid, int gid) {
  for (InFlight& update : m_inFlight) {
    auto command = ParseBoardCommand(update.text.c_str(), update.text.size(), &m_board);
    auto* move = dynamic_cast<const GraphsMoveCommand*>(command.get());
    if (move && move->pid == pid) {
      ApplyOwnMove(update, *move, gid);
    }
  }
}

void BoardController::ReplayInFlightFor(int pid, int gid) {
  auto page = pid >= 0 ? m_board.FindPage(pid) : nullptr;
  if (!page) {
    return;
  }
  // The graph was replaced: the own updates of it still on their way come after, at the server.
  for (InFlight& update : m_inFlight) {
    auto command = ParseBoardCommand(update.text.c_str(), update.text.size(), &m_board);
    if (!command || GraphUpdatePage(*command) != pid) {
      continue;
    }
    if (auto* move = dynamic_cast<const GraphsMoveCommand*>(command.get())) {
      ApplyOwnMove(update, *move, gid);
    } else if (GraphUpdateId(*command) == gid) {
      command->Apply(m_board);
    }
  }
}

bool BoardController::IsOwnEcho(int32_t editId, uint32_t cliSeqId, const char* text, size_t length) {
  if (editId == m_board.GetEditId()) {
    return true;
  }
  if (m_board.GetEditId() != 0) {
    return false;
  }
  ApplyGuard guard(m_applyLock);
  for (const InFlight& update : m_inFlight) {
    if (update.cliSeqId == cliSeqId && SameUpdate(update.text, text, length)) {
      return true;
    }
  }
  return false;
}

// The own update was applied when it was made. Where the server ordered others' updates
// before it, its effect is brought into the server's order: graph additions move to the top
// of the drawing order, and a page clear is done again (it also removes what others added
// before it), followed by the own updates still on their way.
void BoardController::OnOwnEcho(const char* text, size_t length, bool wasInFlight) {
  auto command = ParseBoardCommand(text, length, &m_board);
  if (auto* page = dynamic_cast<PageUpdateCommand*>(command.get())) {
    if (page->action == kPageClear) {
      ApplyGuard guard(m_applyLock);
      if (auto cleared = m_board.FindPage(page->pid)) {
        cleared->Clear();
      }
      ReplayInFlight(page->pid);
      m_board.GetPainter().Invalidate();
    }
    return;
  }
  int pid = -1;
  int gid = -1;
  if (auto* line = dynamic_cast<FourPointGraphUpdateCommand*>(command.get())) {
    if (line->action == kGraphAdd && line->graph == GraphLine::kKind) {
      pid = line->pid, gid = line->gid;
    }
  } else if (auto* path = dynamic_cast<PathGraphUpdateCommand*>(command.get())) {
    if (path->action == kGraphAdd) {
      pid = path->pid, gid = path->gid;
    }
  } else if (auto* textCommand = dynamic_cast<TextGraphUpdateCommand*>(command.get())) {
    if (textCommand->action == kGraphAdd) {
      pid = textCommand->pid, gid = textCommand->gid;
    }
  }
  if (gid == -1) {
    return;
  }
  if (auto page = m_board.FindPage(pid)) {
    ApplyGuard guard(m_applyLock);
    if (wasInFlight) {
      // Others' updates the server put before the add changed the graph here (or took it
      // away): it becomes the add's again, then the own updates of it still on their way.
      command->Apply(m_board);
      ReplayInFlightFor(pid, gid);
    }
    if (page->RaiseGraph(static_cast<uint32_t>(gid))) {
      m_board.GetPainter().Invalidate();
    }
  }
}

}  // namespace kiv_wb
