#include "wb/local_commands/graph_select_local_command.h"

#include <algorithm>

#include "wb/local_commands/local_graphs_move_command.h"
#include "wb/local_commands/text_graph_local_command.h"
#include "wb/local_commands/update_sender.h"
#include "wb/message/update_commands.h"
#include "wb/model/board.h"
#include "wb/model/board_limits.h"
#include "wb/model/graph_text.h"

namespace kiv_wb {
namespace {

std::vector<int> SelectedIds(const Page& page) {
  std::vector<int> ids;
  for (uint32_t id : page.GetSelectedIds()) {
    ids.push_back(static_cast<int>(id));
  }
  return ids;
}

}  // namespace

// Offsets are held within the bounds every board reads.
void GraphSelectLocalCommand::SendMove(Board& board, Page& page, int32_t ox, int32_t oy) {
  SendGraphsMove(m_settings, board, page.GetId(), SelectedIds(page), ClampBoardCoordinate(ox),
                 ClampBoardCoordinate(oy));
}

void GraphSelectLocalCommand::Redraw(Board& board, bool withRubberBand) {
  BoardPainter& painter = board.GetPainter();
  painter.BeginDraw();
  board.DrawCurrentPage();
  if (withRubberBand) {
    int count = 0;
    const int* dash = EditSettings::GetSelectionDash(&count);
    painter.SetPen(EditSettings::GetSelectionPenWidth(), EditSettings::GetSelectionColor());
    painter.SetDash(dash, count);
    painter.DrawRect(m_startX, m_startY, m_x, m_y);
    painter.SetDash(nullptr, 0);
  }
  painter.EndDraw();
}

bool GraphSelectLocalCommand::Execute(Board& board) {
  auto page = board.GetCurrentPage();
  if (!page) {
    return false;
  }
  switch (m_phase) {
    case kPhasePress:
      m_startX = m_lastX = m_x;
      m_startY = m_lastY = m_y;
      m_dragging = page->GetSelectionRect().Contains(m_x, m_y);
      if (m_dragging && m_settings) {
        m_lastSend = m_settings->Now();
      }
      m_rubberBand = true;
      return false;
    case kPhaseDrag:
      if (m_dragging) {
        const uint64_t now = m_settings ? m_settings->Now() : 0;
        if (now - m_lastSend < kSendIntervalUs) {
          return false;
        }
        SendMove(board, *page, m_x - m_lastX, m_y - m_lastY);
        page->UpdateSelectionRect();
        m_lastX = m_x;
        m_lastY = m_y;
        m_lastSend = now;
        Redraw(board, false);
      } else if (m_rubberBand) {
        Redraw(board, true);
      }
      return false;
    case kPhaseRelease:
      if (m_dragging) {
        SendMove(board, *page, m_x - m_lastX, m_y - m_lastY);
        auto move = std::make_shared<LocalGraphsMoveCommand>(page->GetId(), SelectedIds(*page),
                                                             ClampBoardCoordinate(m_x - m_startX),
                                                             ClampBoardCoordinate(m_y - m_startY));
        move->SetSettings(m_settings);
        if (m_settings && m_settings->GetObserver()) {
          m_settings->GetObserver()->PushUndoCommand(move);
        }
        page->UpdateSelectionRect();
        m_lastX = m_x;
        m_lastY = m_y;
      } else if (m_x != m_startX && m_y != m_startY) {
        page->SelectByRect(std::min(m_x, m_startX), std::min(m_y, m_startY), std::max(m_x, m_startX),
                           std::max(m_y, m_startY));
      } else {
        page->SelectAt(m_startX, m_startY);
      }
      m_dragging = false;
      m_rubberBand = false;
      return false;
    case kPhaseDoubleClick: {
      std::shared_ptr<GraphText> text;
      for (const auto& graph : page->GetSelectedGraphs()) {
        if (graph->GetKind() == GraphText::kKind) {
          text = std::static_pointer_cast<GraphText>(graph);
          break;
        }
      }
      if (!text) {
        return false;
      }
      auto edit = std::make_shared<TextGraphLocalCommand>(text);
      edit->SetSettings(m_settings);
      edit->SetStep(kPhaseDoubleClick, m_x, m_y);
      edit->Execute(board);
      edit->SetSettings(board.GetEditSettings());
      if (m_settings && m_settings->GetObserver()) {
        m_settings->GetObserver()->OnLocalCommand(edit);
      }
      page->ClearSelection();
      return true;
    }
  }
  return false;
}

}  // namespace kiv_wb
