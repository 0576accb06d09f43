// A text box: UTF-8 text drawn from its rectangle's top left corner.
#pragma once

#include <string>

#include "wb/model/graph_base.h"

namespace kiv_wb {

class GraphText : public GraphBase {
 public:
  static constexpr int kKind = 3;
  GraphText(uint32_t id, Board* board, int pageId) : GraphBase(id, board, pageId, kKind) {}

  void SetRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
  void SetText(const std::string& textUtf8) { m_text = textUtf8; }
  void SetFont(const std::string& nameUtf8, int size, uint32_t color);
  const std::string& GetText() const { return m_text; }
  const std::string& GetFontName() const { return m_fontName; }
  int GetFontSize() const { return m_fontSize; }
  uint32_t GetTextColor() const { return m_textColor; }

  void Draw(BoardPainter& painter) override;
  bool SelectByRect(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
  bool HitTest(int32_t x, int32_t y) override;
  bool HitTestTolerance(int32_t x, int32_t y, int32_t extra) override;
  BoardRect GetRect() const override { return m_rect; }
  bool Move(int32_t dx, int32_t dy) override;

 private:
  BoardRect m_rect;
  std::string m_fontName;
  int m_fontSize = 0;
  uint32_t m_textColor = 0;
  std::string m_text;
};

}  // namespace kiv_wb
