// A free-hand path. A point on the line of the last segment extends it instead of being added.
#pragma once

#include <cstddef>
#include <vector>

#include "wb/model/graph_base.h"
#include "wb/paint/int_point.h"

namespace kiv_wb {

class GraphPath : public GraphBase {
 public:
  static constexpr int kKind = 2;
  GraphPath(uint32_t id, Board* board, int pageId) : GraphBase(id, board, pageId, kKind) {}

  void AddPoint(int32_t x, int32_t y);
  void SetPointList(const std::vector<IntPoint>& points);
  const std::vector<IntPoint>& GetPoints() const { return m_points; }

  void Draw(BoardPainter& painter) override;
  // The segments from point `first` to point `last`, each as Draw draws it (no selection
  // frame).
  void DrawRange(BoardPainter& painter, size_t first, size_t last);
  // What Draw draws within `area` (the canvas clipped to it): the run of segments that may
  // reach into it (pens `reach` board units wide around them), with one more at each end so
  // that the run's ends lie outside it; false when nothing reaches into it.
  bool DrawWithin(BoardPainter& painter, const BoardRect& area, int32_t reach);
  // Bounds of what is drawn from point `from` on (its points and the segments' control
  // points), widened by the margin; empty when there are no such points.
  BoardRect GetPartRect(size_t from) const;
  // Bounds of segment i (from point i - 1 to point i) and its control points.
  BoardRect SegmentBounds(size_t i) const;
  bool SelectByRect(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
  bool HitTest(int32_t x, int32_t y) override;
  bool HitTestTolerance(int32_t x, int32_t y, int32_t extra) override;
  BoardRect GetRect() const override { return m_bounds; }
  bool Move(int32_t dx, int32_t dy) override;

 private:
  // Bounds from the segments before the last one (kept so that adding a point costs the same
  // whatever the path's length) and the widened bounds of the whole path.
  void UpdateBounds();
  void Controls(size_t i, IntPoint* c1, IntPoint* c2) const;
  void RebuildBounds();

  std::vector<IntPoint> m_points;
  BoardRect m_prefixBounds;
  BoardRect m_bounds;
};

}  // namespace kiv_wb
