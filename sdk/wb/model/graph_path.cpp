#include "wb/model/graph_path.h"

#include "wb/model/board_limits.h"
#include "wb/paint/board_painter.h"

namespace kiv_wb {
namespace {

BoardRect SegmentRect(const IntPoint& a, const IntPoint& b) { return BoardRect::FromPoints(a.x, a.y, b.x, b.y); }

}  // namespace

// Bounds of n points: the rectangle (p0, p0 + 1) united with the span of every segment, in
// order, widened by the margin. The part without the last segment is kept in m_prefixBounds.
void GraphPath::UpdateBounds() {
  const size_t n = m_points.size();
  m_bounds = m_prefixBounds;
  if (n >= 2) {
    m_bounds.Unite(SegmentRect(m_points[n - 2], m_points[n - 1]));
  }
  if (n >= 1) {
    m_bounds.Widen(Margin());
  }
}

void GraphPath::RebuildBounds() {
  m_prefixBounds.SetEmpty();
  const size_t n = m_points.size();
  if (n >= 1) {
    const IntPoint& p = m_points[0];
    m_prefixBounds.Unite(p.x, p.y, p.x + 1, p.y + 1);
  }
  for (size_t i = 1; i + 1 < n; ++i) {
    m_prefixBounds.Unite(SegmentRect(m_points[i - 1], m_points[i]));
  }
  UpdateBounds();
}

void GraphPath::AddPoint(int32_t x, int32_t y) {
  const size_t n = m_points.size();
  if (n >= 3) {
    const IntPoint& a = m_points[n - 2];
    const IntPoint& b = m_points[n - 1];
    if (DistanceToLine(x, y, a.x, a.y, b.x, b.y) == 0) {
      m_points[n - 1] = IntPoint{x, y};
      UpdateBounds();
      return;
    }
  }
  if (n == 0) {
    m_prefixBounds.SetEmpty();
    m_prefixBounds.Unite(x, y, x + 1, y + 1);
  } else if (n >= 2) {
    m_prefixBounds.Unite(SegmentRect(m_points[n - 2], m_points[n - 1]));
  }
  m_points.push_back(IntPoint{x, y});
  UpdateBounds();
}

void GraphPath::SetPointList(const std::vector<IntPoint>& points) {
  m_points = points;
  RebuildBounds();
}

void GraphPath::Draw(BoardPainter& painter) {
  const size_t n = m_points.size();
  if (n == 0) {
    return;
  }
  painter.SetPen(GetBrushSize(), GetColor());
  if (n == 1) {
    painter.DrawLine(m_points[0].x, m_points[0].y, m_points[0].x + 1, m_points[0].y + 1);
  } else {
    const float k = 0.1f;
    std::vector<IntPoint> c1, c2;
    c1.reserve(n - 1);
    c2.reserve(n - 1);
    for (size_t i = 1; i < n; ++i) {
      const IntPoint& cur = m_points[i];
      const IntPoint& prev = m_points[i - 1];
      const IntPoint& prev2 = i >= 2 ? m_points[i - 2] : prev;
      const IntPoint& next = i + 1 < n ? m_points[i + 1] : cur;
      c1.push_back(IntPoint{static_cast<int32_t>(prev.x + (cur.x - prev2.x) * k),
                            static_cast<int32_t>(prev.y + (cur.y - prev2.y) * k)});
      c2.push_back(IntPoint{static_cast<int32_t>(cur.x - (next.x - prev.x) * k),
                            static_cast<int32_t>(cur.y - (next.y - prev.y) * k)});
    }
    painter.DrawCurve(m_points, c1, c2);
  }
  if (m_selected) {
    DrawSelectionFrame(painter, m_bounds);
  }
}

bool GraphPath::SelectByRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  m_selected = m_bounds.LiesInside(left, top, right, bottom);
  return m_selected;
}

bool GraphPath::HitTest(int32_t x, int32_t y) { return HitTestTolerance(x, y, 0); }

bool GraphPath::HitTestTolerance(int32_t x, int32_t y, int32_t extra) {
  m_selected = false;
  const size_t n = m_points.size();
  if (n == 0) {
    return false;
  }
  // Every segment's test box lies inside the bounds grown by the extra tolerance.
  BoardRect reach = m_bounds;
  if (extra > 0) {
    reach.Widen(extra);
  }
  if (!reach.Contains(x, y)) {
    return false;
  }
  if (n == 1) {
    const IntPoint& p = m_points[0];
    m_selected = InBox(x, y, p.x, p.y, p.x + 1, p.y + 1, extra);
    return m_selected;
  }
  const int64_t limit = static_cast<int64_t>(Margin() / 2) + extra;
  for (size_t i = 1; i < n; ++i) {
    const IntPoint& a = m_points[i - 1];
    const IntPoint& b = m_points[i];
    if (InBox(x, y, a.x, a.y, b.x, b.y, extra)) {
      m_selected = DistanceToLine(x, y, a.x, a.y, b.x, b.y) <= limit;
      if (m_selected) {
        break;
      }
    }
  }
  return m_selected;
}

bool GraphPath::Move(int32_t dx, int32_t dy) {
  for (const IntPoint& p : m_points) {
    if (!IsBoardCoordinate(int64_t{p.x} + dx) || !IsBoardCoordinate(int64_t{p.y} + dy)) {
      return false;
    }
  }
  for (IntPoint& p : m_points) {
    p.x += dx;
    p.y += dy;
  }
  m_prefixBounds.Offset(dx, dy);
  m_bounds.Offset(dx, dy);
  return true;
}

}  // namespace kiv_wb
