#include "wb/model/graph_text.h"

#include "wb/model/board_limits.h"
#include "wb/paint/board_painter.h"

namespace kiv_wb {

void GraphText::SetRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  m_rect = BoardRect{left, top, right, bottom};
}

void GraphText::SetFont(const std::string& nameUtf8, int size, uint32_t color) {
  m_fontName = nameUtf8;
  m_fontSize = size;
  m_textColor = color;
}

void GraphText::Draw(BoardPainter& painter) {
  if (!m_text.empty()) {
    painter.SetFont(m_fontName, m_fontSize, m_textColor);
    painter.DrawText(m_text, m_rect.left, m_rect.top, m_rect.right, m_rect.bottom);
  }
  if (m_selected) {
    DrawSelectionFrame(painter, m_rect);
  }
}

bool GraphText::SelectByRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  m_selected = m_rect.LiesInside(left, top, right, bottom);
  return m_selected;
}

bool GraphText::HitTest(int32_t x, int32_t y) {
  m_selected = m_rect.Contains(x, y);
  return m_selected;
}

bool GraphText::HitTestTolerance(int32_t x, int32_t y, int32_t extra) {
  m_selected = InBox(x, y, m_rect.left, m_rect.top, m_rect.right, m_rect.bottom, extra);
  return m_selected;
}

bool GraphText::Move(int32_t dx, int32_t dy) {
  if (!IsBoardCoordinate(int64_t{m_rect.left} + dx) || !IsBoardCoordinate(int64_t{m_rect.right} + dx) ||
      !IsBoardCoordinate(int64_t{m_rect.top} + dy) || !IsBoardCoordinate(int64_t{m_rect.bottom} + dy)) {
    return false;
  }
  m_rect.Offset(dx, dy);
  return true;
}

}  // namespace kiv_wb
