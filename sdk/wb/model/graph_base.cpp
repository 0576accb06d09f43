#include "wb/model/graph_base.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "wb/model/edit_settings.h"
#include "wb/paint/board_painter.h"

namespace kiv_wb {

GraphBase::GraphBase(uint32_t id, Board* board, int pageId, int kind)
    : m_id(id), m_board(board), m_pageId(pageId), m_kind(kind) {}

void GraphBase::Draw(BoardPainter&) {}

bool GraphBase::SelectByRect(int32_t, int32_t, int32_t, int32_t) { return false; }

bool GraphBase::HitTest(int32_t, int32_t) { return false; }

bool GraphBase::HitTestTolerance(int32_t, int32_t, int32_t) { return false; }

BoardRect GraphBase::GetRect() const { return BoardRect{}; }

bool GraphBase::Move(int32_t, int32_t) { return false; }

void GraphBase::SetPen(int brushSize, uint32_t color) {
  m_brushSize = brushSize;
  m_color = color;
}

int32_t GraphBase::Margin() const { return std::max(m_brushSize, 4); }

bool GraphBase::InBox(int32_t x, int32_t y, int32_t ax, int32_t ay, int32_t bx, int32_t by, int32_t extra) const {
  // 64-bit sums: coordinates near the int32 limits must not wrap.
  const int64_t t = Margin() / 2 + std::max<int64_t>(extra, 0);
  return std::min<int64_t>(ax, bx) - t <= x && x <= std::max<int64_t>(ax, bx) + t &&
         std::min<int64_t>(ay, by) - t <= y && y <= std::max<int64_t>(ay, by) + t;
}

int32_t GraphBase::DistanceToLine(int32_t x, int32_t y, int32_t ax, int32_t ay, int32_t bx, int32_t by) {
  // In double precision: exact wherever the 32-bit products would be (board coordinates
  // stay far below 2^26), and free of overflow beyond.
  const double dy = static_cast<double>(by) - ay;
  const double dx = static_cast<double>(bx) - ax;
  const double cross = dy * x - dx * y + static_cast<double>(bx) * ay - static_cast<double>(ax) * by;
  const double lengthSquared = dy * dy + dx * dx;
  if (lengthSquared == 0.0) {
    return std::numeric_limits<int32_t>::min();
  }
  const double distance = std::fabs(cross) / std::sqrt(lengthSquared);
  if (distance >= static_cast<double>(std::numeric_limits<int32_t>::max())) {
    return std::numeric_limits<int32_t>::max();
  }
  return static_cast<int32_t>(distance);
}

void GraphBase::DrawSelectionFrame(BoardPainter& painter, const BoardRect& rect) const {
  int count = 0;
  const int* dash = EditSettings::GetSelectionDash(&count);
  painter.SetPen(EditSettings::GetSelectionPenWidth(), EditSettings::GetSelectionColor());
  painter.SetDash(dash, count);
  painter.DrawRect(rect.left, rect.top, rect.right, rect.bottom);
  painter.SetDash(nullptr, 0);
}

}  // namespace kiv_wb
