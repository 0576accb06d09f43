// A four-point graph: a straight line between two points.
#pragma once

#include "wb/model/graph_base.h"

namespace kiv_wb {

class GraphLine : public GraphBase {
 public:
  static constexpr int kKind = 1;
  GraphLine(uint32_t id, Board* board, int pageId) : GraphBase(id, board, pageId, kKind) {}

  // Bounds: the span of the two points widened by the margin.
  void SetPoints(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void GetPoints(int32_t* x1, int32_t* y1, int32_t* x2, int32_t* y2) const;

  void Draw(BoardPainter& painter) override;
  bool SelectByRect(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
  bool HitTest(int32_t x, int32_t y) override;
  bool HitTestTolerance(int32_t x, int32_t y, int32_t extra) override;
  BoardRect GetRect() const override { return m_bounds; }
  bool Move(int32_t dx, int32_t dy) override;

 private:
  int32_t m_x1 = 0, m_y1 = 0, m_x2 = 0, m_y2 = 0;
  BoardRect m_bounds;
};

}  // namespace kiv_wb
