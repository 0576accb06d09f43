#include "wb/local_commands/path_graph_local_command.h"

#include <algorithm>

#include "wb/local_commands/update_sender.h"
#include "wb/message/board_net_cmd_id.h"
#include "wb/message/update_commands.h"
#include "wb/model/board.h"
#include "wb/model/board_limits.h"
#include "wb/model/graph_path.h"

namespace kiv_wb {

PathGraphLocalCommand::PathGraphLocalCommand(std::shared_ptr<GraphPath> graph) : m_graph(std::move(graph)) {}

std::shared_ptr<GraphBase> PathGraphLocalCommand::GetDrawingGraph() { return m_graph; }

bool PathGraphLocalCommand::TakePoint() {
  if (m_sentPoints + m_pending.size() >= kMaxPathPoints) {
    return false;
  }
  m_graph->AddPoint(m_x, m_y);
  m_pending.push_back(IntPoint{m_x, m_y});
  return true;
}

// More points than one update carries go as that update with the first of them and modifies
// with the rest.
void PathGraphLocalCommand::SendPath(Board& board, int action, const std::vector<IntPoint>& points) {
  m_sentPoints += points.size();
  size_t from = 0;
  do {
    const size_t to = std::min(points.size(), from + kMaxUpdatePoints);
    SendUpdate(m_settings,
               std::make_shared<PathGraphUpdateCommand>(
                   board.NextCliSeqId(), static_cast<uint32_t>(board.GetEditId()), m_graph->GetPageId(),
                   static_cast<int>(m_graph->GetId()), from == 0 ? action : kGraphModify, m_graph->GetBrushSize(),
                   m_graph->GetColor(), std::vector<IntPoint>(points.begin() + from, points.begin() + to)));
    from = to;
  } while (from < points.size());
}

bool PathGraphLocalCommand::Execute(Board& board) {
  switch (m_phase) {
    case kPhasePress: {
      auto page = board.GetCurrentPage();
      if (!page || !m_settings) {
        return false;
      }
      m_graph = std::make_shared<GraphPath>(m_settings->NextGraphId(), &board, page->GetId());
      m_graph->AddPoint(m_x, m_y);
      m_graph->SetPen(m_settings->GetBrushSize(), m_settings->GetColor());
      m_lastSend = m_settings->Now();
      m_pending.clear();
      m_sentPoints = 0;
      SendPath(board, kGraphAdd, m_graph->GetPoints());
      return false;
    }
    case kPhaseDrag: {
      if (!m_graph || !TakePoint()) {
        return false;
      }
      const uint64_t now = m_settings->Now();
      if (now - m_lastSend < kSendIntervalUs && m_pending.size() < kMaxUpdatePoints) {
        return false;
      }
      SendPath(board, kGraphModify, m_pending);
      m_lastSend = now;
      m_pending.clear();
      return false;
    }
    case kPhaseRelease:
      if (m_graph && !m_pending.empty()) {
        TakePoint();
        SendPath(board, kGraphModify, m_pending);
        m_pending.clear();
      }
      return true;
    default:
      return false;
  }
}

bool PathGraphLocalCommand::Apply(Board& board) {
  if (m_graph) {
    SendPath(board, kGraphAdd, m_graph->GetPoints());
  }
  return true;
}

bool PathGraphLocalCommand::Revert(Board& board) {
  if (!m_graph || !board.FindPage(m_graph->GetPageId())) {
    return false;
  }
  SendPath(board, kGraphDelete, {});
  return true;
}

}  // namespace kiv_wb
