#include "wb/model/page.h"

#include <algorithm>
#include <iterator>

#include "wb/model/board_limits.h"
#include "wb/model/edit_settings.h"
#include "wb/model/graph_base.h"
#include "wb/model/graph_line.h"
#include "wb/model/graph_path.h"
#include "wb/model/graph_text.h"
#include "wb/paint/board_painter.h"

namespace kiv_wb {

std::vector<std::shared_ptr<GraphBase>>::iterator Page::Find(uint32_t graphId) {
  return std::find_if(m_graphs.begin(), m_graphs.end(),
                      [graphId](const std::shared_ptr<GraphBase>& g) { return g->GetId() == graphId; });
}

void Page::AddGraph(const std::shared_ptr<GraphBase>& graph) {
  if (!graph) {
    return;
  }
  Guard guard(m_lock);
  auto it = Find(graph->GetId());
  if (it != m_graphs.end()) {
    *it = graph;
  } else {
    m_graphs.push_back(graph);
  }
}

void Page::ReplaceGraph(const std::shared_ptr<GraphBase>& graph) {
  if (!graph) {
    return;
  }
  Guard guard(m_lock);
  auto it = Find(graph->GetId());
  if (it != m_graphs.end()) {
    *it = graph;
  }
}

void Page::RemoveGraph(uint32_t graphId) {
  Guard guard(m_lock);
  auto it = Find(graphId);
  if (it != m_graphs.end()) {
    m_graphs.erase(it);
  }
}

bool Page::RaiseGraph(uint32_t graphId) {
  Guard guard(m_lock);
  auto it = Find(graphId);
  if (it == m_graphs.end()) {
    return false;
  }
  std::rotate(it, it + 1, m_graphs.end());
  return true;
}

bool Page::MoveGraph(uint32_t graphId, int32_t dx, int32_t dy) {
  Guard guard(m_lock);
  auto it = Find(graphId);
  if (it == m_graphs.end()) {
    return false;
  }
  // Refused by the graph where its coordinates would leave the bounds every board reads.
  return (*it)->Move(dx, dy);
}

void Page::SetLinePoints(uint32_t graphId, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  Guard guard(m_lock);
  auto it = Find(graphId);
  if (it != m_graphs.end() && (*it)->GetKind() == GraphLine::kKind) {
    static_cast<GraphLine&>(**it).SetPoints(x1, y1, x2, y2);
  }
}

bool Page::AppendPathPoints(uint32_t graphId, const std::vector<IntPoint>& points) {
  Guard guard(m_lock);
  auto it = Find(graphId);
  if (it == m_graphs.end() || (*it)->GetKind() != GraphPath::kKind) {
    return true;
  }
  auto& path = static_cast<GraphPath&>(**it);
  if (path.GetPoints().size() + points.size() > kMaxPathPoints) {
    return false;
  }
  for (const IntPoint& p : points) {
    path.AddPoint(p.x, p.y);
  }
  return true;
}

std::shared_ptr<GraphBase> Page::FindGraph(uint32_t graphId) const {
  Guard guard(m_lock);
  for (const auto& g : m_graphs) {
    if (g->GetId() == graphId) {
      return g;
    }
  }
  return nullptr;
}

std::vector<std::shared_ptr<GraphBase>> Page::GetGraphs() const {
  Guard guard(m_lock);
  return m_graphs;
}

size_t Page::GetGraphCount() const {
  Guard guard(m_lock);
  return m_graphs.size();
}

int Page::Clear() {
  Guard guard(m_lock);
  const int removed = static_cast<int>(m_graphs.size());
  m_graphs.clear();
  m_selection.SetEmpty();
  return removed;
}

int Page::ClearUndo() {
  Guard guard(m_lock);
  const int removed = static_cast<int>(m_undo.size());
  m_undo.clear();
  return removed;
}

int Page::ClearRedo() {
  Guard guard(m_lock);
  const int removed = static_cast<int>(m_redo.size());
  m_redo.clear();
  return removed;
}

int Page::GetUndoCount() const {
  Guard guard(m_lock);
  return static_cast<int>(m_undo.size());
}

int Page::GetRedoCount() const {
  Guard guard(m_lock);
  return static_cast<int>(m_redo.size());
}

void Page::DropOldestUndoWhenFull() {
  if (m_undo.size() >= kMaxUndo) {
    m_undo.pop_front();
  }
}

void Page::PushUndo(const std::shared_ptr<LocalCommandBase>& command) {
  Guard guard(m_lock);
  DropOldestUndoWhenFull();
  if (!m_redo.empty() && m_redo.back() != command) {
    m_redo.clear();
  }
  m_undo.push_back(command);
}

void Page::PushUndoFromRedo(const std::shared_ptr<LocalCommandBase>& command) {
  Guard guard(m_lock);
  DropOldestUndoWhenFull();
  m_undo.push_back(command);
}

void Page::PushRedo(const std::shared_ptr<LocalCommandBase>& command) {
  Guard guard(m_lock);
  m_redo.push_back(command);
}

std::shared_ptr<LocalCommandBase> Page::PopUndo() {
  Guard guard(m_lock);
  if (m_undo.empty()) {
    return nullptr;
  }
  auto command = m_undo.back();
  m_undo.pop_back();
  return command;
}

bool Page::ForgetCommand(const std::shared_ptr<LocalCommandBase>& command) {
  Guard guard(m_lock);
  const size_t before = m_undo.size() + m_redo.size();
  m_undo.remove(command);
  m_redo.remove(command);
  return m_undo.size() + m_redo.size() != before;
}

std::shared_ptr<LocalCommandBase> Page::PopRedo() {
  Guard guard(m_lock);
  if (m_redo.empty()) {
    return nullptr;
  }
  auto command = m_redo.back();
  m_redo.pop_back();
  return command;
}

std::string Page::GetImagePath() const {
  Guard guard(m_lock);
  return m_imagePath;
}

void Page::SetImagePath(const std::string& path) {
  Guard guard(m_lock);
  m_imagePath = path;
}

void Page::DrawSelectionFrame(BoardPainter& painter, int selected) const {
  if (selected < 2 || m_selection.IsEmpty()) {
    return;
  }
  int count = 0;
  const int* dash = EditSettings::GetSelectionDash(&count);
  painter.SetPen(EditSettings::GetSelectionPenWidth(), EditSettings::GetSelectionColor());
  painter.SetDash(dash, count);
  painter.DrawRect(m_selection.left - 6, m_selection.top - 6, m_selection.right + 6, m_selection.bottom + 6);
  painter.SetDash(nullptr, 0);
}

void Page::Draw(BoardPainter& painter) {
  Guard guard(m_lock);
  if (m_imagePath.empty()) {
    painter.Clear(255, 255, 255);
  } else {
    painter.DrawBackground(m_imagePath);
  }
  int selected = 0;
  for (const auto& g : m_graphs) {
    g->Draw(painter);
    if (g->IsSelected()) {
      ++selected;
    }
  }
  DrawSelectionFrame(painter, selected);
}

bool Page::GetPathEnd(uint32_t graphId, size_t* count, IntPoint* point, size_t index) const {
  Guard guard(m_lock);
  auto graph = FindGraph(graphId);
  if (!graph || graph->GetKind() != GraphPath::kKind) {
    return false;
  }
  const std::vector<IntPoint>& points = static_cast<const GraphPath&>(*graph).GetPoints();
  *count = points.size();
  if (index == SIZE_MAX) {
    index = points.size() - 1;
  }
  *point = index < points.size() ? points[index] : IntPoint{};
  return true;
}

BoardRect Page::GetPathPartRect(uint32_t graphId, size_t from, int* brushSize) const {
  Guard guard(m_lock);
  auto graph = FindGraph(graphId);
  if (!graph || graph->GetKind() != GraphPath::kKind) {
    return BoardRect{};
  }
  *brushSize = graph->GetBrushSize();
  return static_cast<const GraphPath&>(*graph).GetPartRect(from);
}

namespace {

bool Overlap(const BoardRect& a, const BoardRect& b) {
  return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

}  // namespace

void Page::DrawArea(BoardPainter& painter, const BoardRect& area, int brushSize) {
  Guard guard(m_lock);
  if (m_imagePath.empty()) {
    painter.Clear(255, 255, 255);
  } else {
    painter.DrawBackground(m_imagePath);
  }
  BoardRect reach = area;
  reach.Widen(painter.PenReach(brushSize));
  int selected = 0;
  for (const auto& g : m_graphs) {
    // A text's bounds come from its font's measure: it is always drawn.
    if (g->GetKind() == GraphText::kKind || g->IsSelected()) {
      g->Draw(painter);
    } else if (g->GetKind() == GraphPath::kKind) {
      static_cast<GraphPath&>(*g).DrawWithin(painter, reach, painter.PenReach(g->GetBrushSize()));
    } else {
      BoardRect drawn = g->GetRect();
      drawn.Widen(painter.PenReach(g->GetBrushSize()));
      if (Overlap(drawn, reach)) {
        g->Draw(painter);
      }
    }
    if (g->IsSelected()) {
      ++selected;
    }
  }
  DrawSelectionFrame(painter, selected);
}

int Page::SelectByRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  Guard guard(m_lock);
  m_selection.SetEmpty();
  int count = 0;
  for (const auto& g : m_graphs) {
    if (g->SelectByRect(left, top, right, bottom)) {
      m_selection.Unite(g->GetRect());
      ++count;
    }
  }
  return count;
}

int Page::SelectNear(int32_t x, int32_t y, int32_t extra) {
  Guard guard(m_lock);
  m_selection.SetEmpty();
  int count = 0;
  for (const auto& g : m_graphs) {
    if (g->HitTestTolerance(x, y, extra)) {
      ++count;
    }
  }
  return count;
}

int Page::SelectAt(int32_t x, int32_t y) {
  Guard guard(m_lock);
  m_selection.SetEmpty();
  for (auto it = m_graphs.rbegin(); it != m_graphs.rend(); ++it) {
    if ((*it)->HitTest(x, y)) {
      m_selection = (*it)->GetRect();
      return 1;
    }
  }
  return 0;
}

void Page::ClearSelection() {
  Guard guard(m_lock);
  for (const auto& g : m_graphs) {
    g->Unselect();
  }
  m_selection.SetEmpty();
}

void Page::UpdateSelectionRect() {
  Guard guard(m_lock);
  m_selection.SetEmpty();
  for (const auto& g : m_graphs) {
    if (g->IsSelected()) {
      m_selection.Unite(g->GetRect());
    }
  }
}

BoardRect Page::GetSelectionRect() const {
  Guard guard(m_lock);
  return m_selection;
}

std::set<uint32_t> Page::GetSelectedIds() const {
  Guard guard(m_lock);
  std::set<uint32_t> ids;
  for (const auto& g : m_graphs) {
    if (g->IsSelected()) {
      ids.insert(g->GetId());
    }
  }
  return ids;
}

std::vector<std::shared_ptr<GraphBase>> Page::GetSelectedGraphs() const {
  Guard guard(m_lock);
  std::vector<std::shared_ptr<GraphBase>> selected;
  for (const auto& g : m_graphs) {
    if (g->IsSelected()) {
      selected.push_back(g);
    }
  }
  return selected;
}

}  // namespace kiv_wb
