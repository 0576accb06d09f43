#include "wb/local_commands/four_point_graph_local_command.h"

#include "wb/local_commands/update_sender.h"
#include "wb/message/board_net_cmd_id.h"
#include "wb/message/update_commands.h"
#include "wb/model/board.h"
#include "wb/model/graph_line.h"

namespace kiv_wb {

FourPointGraphLocalCommand::FourPointGraphLocalCommand(std::shared_ptr<GraphLine> graph) : m_graph(std::move(graph)) {
  if (m_graph) {
    m_graph->GetPoints(&m_startX, &m_startY, &m_x, &m_y);
  }
}

void FourPointGraphLocalCommand::SendLine(Board& board, int action) {
  SendUpdate(m_settings, std::make_shared<FourPointGraphUpdateCommand>(
                             board.NextCliSeqId(), static_cast<uint32_t>(board.GetEditId()), m_graph->GetPageId(),
                             static_cast<int>(m_graph->GetId()), action, GraphLine::kKind, m_graph->GetBrushSize(),
                             m_graph->GetColor(), m_startX, m_startY, m_x, m_y));
}

bool FourPointGraphLocalCommand::Execute(Board& board) {
  switch (m_phase) {
    case kPhasePress: {
      auto page = board.GetCurrentPage();
      if (!page || !m_settings) {
        return false;
      }
      m_graph = std::make_shared<GraphLine>(m_settings->NextGraphId(), &board, page->GetId());
      m_graph->SetPoints(m_x, m_y, m_x, m_y);
      m_graph->SetPen(m_settings->GetBrushSize(), m_settings->GetColor());
      m_startX = m_x;
      m_startY = m_y;
      m_lastSend = m_settings->Now();
      SendLine(board, kGraphAdd);
      return false;
    }
    case kPhaseDrag: {
      if (!m_graph) {
        return false;
      }
      m_graph->SetPoints(m_startX, m_startY, m_x, m_y);
      const uint64_t now = m_settings->Now();
      if (now - m_lastSend >= kSendIntervalUs) {
        SendLine(board, kGraphModify);
        m_lastSend = now;
      } else if (auto page = board.FindPage(m_graph->GetPageId())) {
        page->SetLinePoints(m_graph->GetId(), m_startX, m_startY, m_x, m_y);
      }
      return false;
    }
    case kPhaseRelease:
      if (m_graph) {
        m_graph->SetPoints(m_startX, m_startY, m_x, m_y);
        SendLine(board, kGraphModify);
      }
      return true;
    default:
      return false;
  }
}

bool FourPointGraphLocalCommand::Apply(Board& board) {
  if (m_graph) {
    SendLine(board, kGraphAdd);
  }
  return true;
}

bool FourPointGraphLocalCommand::Revert(Board& board) {
  if (!m_graph || !board.FindPage(m_graph->GetPageId())) {
    return false;
  }
  SendLine(board, kGraphDelete);
  return true;
}

}  // namespace kiv_wb
