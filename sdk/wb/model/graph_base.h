// One drawn object on a page: draws itself, answers hit and selection tests, reports its
// rectangle and moves. Every hit and selection test writes the selected flag.
#pragma once

#include <cstdint>

#include "wb/model/board_rect.h"

namespace kiv_wb {

class Board;
class BoardPainter;

class GraphBase {
 public:
  GraphBase(uint32_t id, Board* board, int pageId, int kind);
  virtual ~GraphBase() = default;
  GraphBase(const GraphBase&) = delete;
  GraphBase& operator=(const GraphBase&) = delete;

  virtual void Draw(BoardPainter& painter);
  virtual bool SelectByRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
  virtual bool HitTest(int32_t x, int32_t y);
  virtual bool HitTestTolerance(int32_t x, int32_t y, int32_t extra);
  virtual BoardRect GetRect() const;
  // False, nothing moved, when a coordinate would leave the board bounds.
  virtual bool Move(int32_t dx, int32_t dy);

  void SetPen(int brushSize, uint32_t color);
  int GetKind() const { return m_kind; }
  uint32_t GetId() const { return m_id; }
  int GetPageId() const { return m_pageId; }
  Board* GetBoard() const { return m_board; }
  int GetBrushSize() const { return m_brushSize; }
  uint32_t GetColor() const { return m_color; }
  bool IsSelected() const { return m_selected; }
  void Unselect() { m_selected = false; }

  // max(brush size, 4).
  int32_t Margin() const;
  // Whether (x, y) lies in the box of a and b grown by margin / 2 + max(extra, 0).
  bool InBox(int32_t x, int32_t y, int32_t ax, int32_t ay, int32_t bx, int32_t by, int32_t extra) const;
  // Distance from (x, y) to the line through a and b, truncated; the most negative int32
  // when a and b coincide.
  static int32_t DistanceToLine(int32_t x, int32_t y, int32_t ax, int32_t ay, int32_t bx, int32_t by);

 protected:
  void DrawSelectionFrame(BoardPainter& painter, const BoardRect& rect) const;

  bool m_selected = false;

 private:
  uint32_t m_id;
  Board* m_board;
  int m_pageId;
  int m_brushSize = 0;
  uint32_t m_color = 0;
  int m_kind;
};

}  // namespace kiv_wb
