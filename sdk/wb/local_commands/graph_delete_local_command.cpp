#include "wb/local_commands/graph_delete_local_command.h"

#include "wb/local_commands/four_point_graph_local_command.h"
#include "wb/local_commands/path_graph_local_command.h"
#include "wb/local_commands/text_graph_local_command.h"
#include "wb/model/board.h"
#include "wb/model/edit_settings.h"
#include "wb/model/graph_line.h"
#include "wb/model/graph_path.h"
#include "wb/model/graph_text.h"

namespace kiv_wb {
namespace {

std::shared_ptr<LocalCommandBase> CommandFor(const std::shared_ptr<GraphBase>& graph) {
  switch (graph->GetKind()) {
    case GraphLine::kKind:
      return std::make_shared<FourPointGraphLocalCommand>(std::static_pointer_cast<GraphLine>(graph));
    case GraphPath::kKind:
      return std::make_shared<PathGraphLocalCommand>(std::static_pointer_cast<GraphPath>(graph));
    case GraphText::kKind:
      return std::make_shared<TextGraphLocalCommand>(std::static_pointer_cast<GraphText>(graph));
    default:
      return nullptr;
  }
}

}  // namespace

bool GraphDeleteLocalCommand::Execute(Board& board) {
  auto page = board.GetCurrentPage();
  if (!page) {
    return false;
  }
  const int tolerance = m_settings ? m_settings->GetEraserTolerance() : 15;
  switch (m_phase) {
    case kPhasePress:
      m_pressX = m_x;
      m_pressY = m_y;
      page->SelectNear(m_x, m_y, tolerance);
      m_pressed = true;
      break;
    case kPhaseDrag:
      if (m_pressed) {
        page->SelectNear(m_x, m_y, tolerance);
      }
      break;
    case kPhaseRelease:
      page->SelectNear(m_pressX, m_pressY, tolerance);
      m_pressed = false;
      break;
    default:
      break;
  }
  for (const auto& graph : page->GetSelectedGraphs()) {
    auto erase = CommandFor(graph);
    if (!erase) {
      continue;
    }
    erase->SetReverse(true);
    erase->SetSettings(m_settings);
    erase->Revert(board);
    page->PushUndo(erase);
  }
  page->ClearSelection();
  return false;
}

}  // namespace kiv_wb
