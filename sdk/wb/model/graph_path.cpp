#include "wb/model/graph_path.h"

#include <algorithm>

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
  if (m_points.empty()) {
    return;
  }
  DrawRange(painter, 0, m_points.size() - 1);
  if (m_selected) {
    DrawSelectionFrame(painter, m_bounds);
  }
}

// The control points of segment i (from point i - 1 to point i).
void GraphPath::Controls(size_t i, IntPoint* c1, IntPoint* c2) const {
  const float k = 0.1f;
  const size_t n = m_points.size();
  const IntPoint& cur = m_points[i];
  const IntPoint& prev = m_points[i - 1];
  const IntPoint& prev2 = i >= 2 ? m_points[i - 2] : prev;
  const IntPoint& next = i + 1 < n ? m_points[i + 1] : cur;
  *c1 = IntPoint{static_cast<int32_t>(prev.x + (cur.x - prev2.x) * k),
                 static_cast<int32_t>(prev.y + (cur.y - prev2.y) * k)};
  *c2 = IntPoint{static_cast<int32_t>(cur.x - (next.x - prev.x) * k),
                 static_cast<int32_t>(cur.y - (next.y - prev.y) * k)};
}

void GraphPath::DrawRange(BoardPainter& painter, size_t first, size_t last) {
  const size_t n = m_points.size();
  if (n == 0 || first >= n || last < first) {
    return;
  }
  last = std::min(last, n - 1);
  painter.SetPen(GetBrushSize(), GetColor());
  if (n == 1) {
    painter.DrawLine(m_points[0].x, m_points[0].y, m_points[0].x + 1, m_points[0].y + 1);
    return;
  }
  if (first == last) {
    return;
  }
  std::vector<IntPoint> c1(last - first), c2(last - first);
  for (size_t i = first + 1; i <= last; ++i) {
    Controls(i, &c1[i - first - 1], &c2[i - first - 1]);
  }
  if (first == 0 && last == n - 1) {
    painter.DrawCurve(m_points, c1, c2);
  } else {
    painter.DrawCurve(std::vector<IntPoint>(m_points.begin() + static_cast<std::ptrdiff_t>(first),
                                            m_points.begin() + static_cast<std::ptrdiff_t>(last) + 1),
                      c1, c2);
  }
}

bool GraphPath::DrawWithin(BoardPainter& painter, const BoardRect& area, int32_t reach) {
  const size_t n = m_points.size();
  auto reaches = [&](BoardRect r) {
    r.Widen(reach);
    return r.left <= area.right && area.left <= r.right && r.top <= area.bottom && area.top <= r.bottom;
  };
  if (n <= 1) {
    if (n == 1 && reaches(BoardRect{m_points[0].x, m_points[0].y, m_points[0].x + 1, m_points[0].y + 1})) {
      DrawRange(painter, 0, 0);
      return true;
    }
    return false;
  }
  size_t first = 0;
  size_t last = 0;
  for (size_t i = 1; i < n; ++i) {
    if (reaches(SegmentBounds(i))) {
      first = first == 0 ? i : first;
      last = i;
    }
  }
  if (last == 0) {
    return false;
  }
  // From the start of the segment before the first to the end of the one after the last.
  DrawRange(painter, first >= 2 ? first - 2 : 0, std::min(last + 1, n - 1));
  return true;
}

BoardRect GraphPath::SegmentBounds(size_t i) const {
  IntPoint c1, c2;
  Controls(i, &c1, &c2);
  BoardRect r = BoardRect::FromPoints(m_points[i - 1].x, m_points[i - 1].y, m_points[i].x, m_points[i].y);
  r.Unite(BoardRect::FromPoints(c1.x, c1.y, c2.x, c2.y));
  return r;
}

BoardRect GraphPath::GetPartRect(size_t from) const {
  BoardRect rect;
  const size_t n = m_points.size();
  for (size_t i = from; i < n; ++i) {
    const IntPoint& p = m_points[i];
    rect.Unite(p.x, p.y, p.x + 1, p.y + 1);
    if (i > from) {
      IntPoint c1, c2;
      Controls(i, &c1, &c2);
      rect.Unite(BoardRect::FromPoints(c1.x, c1.y, c2.x, c2.y));
    }
  }
  if (!rect.IsEmpty()) {
    rect.Widen(Margin());
  }
  return rect;
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
