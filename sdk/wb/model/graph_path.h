// A free-hand path. A point on the line of the last segment extends it instead of being added.
#pragma once

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
  bool SelectByRect(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
  bool HitTest(int32_t x, int32_t y) override;
  bool HitTestTolerance(int32_t x, int32_t y, int32_t extra) override;
  BoardRect GetRect() const override { return m_bounds; }
  bool Move(int32_t dx, int32_t dy) override;

 private:
  // Bounds from the segments before the last one (kept so that adding a point costs the same
  // whatever the path's length) and the widened bounds of the whole path.
  void UpdateBounds();
  void RebuildBounds();

  std::vector<IntPoint> m_points;
  BoardRect m_prefixBounds;
  BoardRect m_bounds;
};

}  // namespace kiv_wb
