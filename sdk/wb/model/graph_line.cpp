#include "wb/model/graph_line.h"

#include "wb/model/board_limits.h"
#include "wb/paint/board_painter.h"

namespace kiv_wb {

void GraphLine::SetPoints(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  m_x1 = x1;
  m_y1 = y1;
  m_x2 = x2;
  m_y2 = y2;
  m_bounds = BoardRect::FromPoints(x1, y1, x2, y2);
  m_bounds.Widen(Margin());
}

void GraphLine::GetPoints(int32_t* x1, int32_t* y1, int32_t* x2, int32_t* y2) const {
  if (!x1 || !y1 || !x2 || !y2) {
    return;
  }
  *x1 = m_x1;
  *y1 = m_y1;
  *x2 = m_x2;
  *y2 = m_y2;
}

void GraphLine::Draw(BoardPainter& painter) {
  painter.SetPen(GetBrushSize(), GetColor());
  if (m_x1 == m_x2 && m_y1 == m_y2) {
    painter.DrawLine(m_x1, m_y1, m_x2, m_y2 + 1);
  } else {
    painter.DrawLine(m_x1, m_y1, m_x2, m_y2);
  }
  if (m_selected) {
    DrawSelectionFrame(painter, m_bounds);
  }
}

bool GraphLine::SelectByRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  m_selected = left <= m_x1 && m_x1 <= right && left <= m_x2 && m_x2 <= right && top <= m_y1 && m_y1 <= bottom &&
               top <= m_y2 && m_y2 <= bottom;
  return m_selected;
}

bool GraphLine::HitTest(int32_t x, int32_t y) { return HitTestTolerance(x, y, 0); }

bool GraphLine::HitTestTolerance(int32_t x, int32_t y, int32_t extra) {
  m_selected =
      InBox(x, y, m_x1, m_y1, m_x2, m_y2, extra) &&
      static_cast<int64_t>(DistanceToLine(x, y, m_x1, m_y1, m_x2, m_y2)) <= static_cast<int64_t>(Margin() / 2) + extra;
  return m_selected;
}

bool GraphLine::Move(int32_t dx, int32_t dy) {
  if (!IsBoardCoordinate(int64_t{m_x1} + dx) || !IsBoardCoordinate(int64_t{m_x2} + dx) ||
      !IsBoardCoordinate(int64_t{m_y1} + dy) || !IsBoardCoordinate(int64_t{m_y2} + dy)) {
    return false;
  }
  SetPoints(m_x1 + dx, m_y1 + dy, m_x2 + dx, m_y2 + dy);
  return true;
}

}  // namespace kiv_wb
